// The table of subcommands: names, help texts, own options and the function that runs each.
#pragma once

#include <string>
#include <vector>

#include "Arguments.h"

namespace rktool {

struct Command {
    const char* name;
    const char* synopsis;  // operands and own options, after "rkcurl NAME "
    const char* summary;   // one line for the overview
    const char* details;   // the rest of the command's --help
    std::vector<OptionSpec> options;
    int (*run)(const ParsedArguments& args, const CommonSettings& settings);
};

const std::vector<Command>& Commands();

std::string OverviewHelp();
std::string CommandHelp(const Command& command);

// Runs "rkcurl ARGS..." and returns the exit status.
int RunTool(const std::vector<std::string>& args);

}  // namespace rktool
