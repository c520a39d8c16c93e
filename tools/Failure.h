// How the tool reports a failure: one line on standard error and a documented exit status.
#pragma once

#include <RKCurl/CRKError.h>

#include <string>

namespace rktool {

// Exit statuses, as the tool's help and guide list them.
enum ExitStatus {
    kExitOk = 0,
    kExitFailed = 1,        // the library reported a failure, or the server refused
    kExitUsage = 2,         // unknown command or option, missing argument, malformed URL
    kExitLocalFile = 3,     // a local file could not be read or written
    kExitInterrupted = 130  // Ctrl-C stopped the transfer
};

// The enumerator's name for a library code ("RKERR_PERFORM"), "RKERR_UNKNOWN" otherwise.
const char* CodeName(int code);

// "RKERR_PERFORM (2509) curl 7: <libcurl's text>: <detail>" for a failure record; the part from
// "curl" on is there only when the record carries libcurl's result.
std::string FailureText(const oru::shared::error::CRKError& error);

// Prints "rkcurl: <text>" on standard error and returns kExitFailed, or kExitInterrupted when
// Ctrl-C stopped the operation.
int ReportFailure(const oru::shared::error::CRKError& error);
int ReportProblem(const std::string& text, int status);

// The last complete reply line of an FTP server ("550 Create directory operation failed."),
// without its line end; empty when there is none.
std::string LastReplyLine(const std::string& replies);

}  // namespace rktool
