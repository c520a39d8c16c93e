// get of an FTP file, streamed to disk by the library, whole or resumed (-C -).
#pragma once

#include <string>

#include "Arguments.h"
#include "Session.h"

namespace rktool {

// Reads -C / --continue-at: only "-" (go on from the size already there) is taken. False, with
// the problem printed and status set, for any other value.
bool ReadResume(const ParsedArguments& args, bool& resume, int& status);

// One FTP download of get to the output the choice names. A whole download replaces the file
// only once complete; resume appends what the local file lacks. Standard output is fed from a
// private temporary file, so memory does not grow with the file either way.
int FtpGetOne(const std::string& url, const OutputChoice& output, const CommonSettings& settings,
              bool resume);

}  // namespace rktool
