// Asks for a password on the controlling terminal with echo off.
#pragma once

#include <optional>
#include <string>

namespace rktool {

// Prints prompt on the terminal and reads one line without echoing it. nullopt when there is no
// terminal to ask on, or when Ctrl-C interrupts the prompt.
std::optional<std::string> PromptPassword(const std::string& prompt);

}  // namespace rktool
