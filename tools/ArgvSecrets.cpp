#include "ArgvSecrets.h"

#include <cstring>
#include <string>

#include "Commands.h"

namespace rktool {
namespace {

// Whether arg alone (no inline value) is an option whose value is the next argument, in any
// command: no option is a flag in one command and takes a value in another.
bool TakesNextValue(const std::string& arg) {
    const auto matches = [&arg](const OptionSpec& spec) {
        return spec.takesValue &&
               (arg == "--" + spec.longName ||
                (spec.shortName != 0 && arg == std::string{'-', spec.shortName}));
    };
    for (const OptionSpec& spec : CommonOptionSpecs()) {
        if (matches(spec)) return true;
    }
    for (const Command& command : Commands()) {
        for (const OptionSpec& spec : command.options) {
            if (matches(spec)) return true;
        }
    }
    return false;
}

void BlankPassword(char* value) {
    if (char* colon = std::strchr(value, ':')) std::memset(colon + 1, ' ', std::strlen(colon + 1));
}

}  // namespace

void BlankPasswordArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") return;
        if (arg.size() < 2 || arg[0] != '-') continue;
        if (arg == "-u" || arg == "--user") {
            if (i + 1 < argc) BlankPassword(argv[++i]);
        } else if (arg.compare(0, 7, "--user=") == 0) {
            BlankPassword(argv[i] + 7);
        } else if (arg[1] == 'u') {
            BlankPassword(argv[i] + 2);
        } else if (TakesNextValue(arg)) {
            ++i;
        }
    }
}

}  // namespace rktool
