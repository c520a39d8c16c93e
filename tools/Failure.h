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

// The subcommand every later message is labelled with ("rkcurl: mkdir: ...").
void SetCommandLabel(const std::string& label);

// "RKERR_PERFORM (2509) curl 7: <libcurl's text>: <detail>" for a failure record; the part from
// "curl" on is there only when the record carries libcurl's result.
std::string FailureText(const oru::shared::error::CRKError& error);

// Prints "rkcurl: <command>: <text>" on standard error and returns kExitFailed, or
// kExitInterrupted when Ctrl-C stopped the operation. With an FTP server's replies, a final
// refusal (4xx or 5xx) is quoted: "...; server: 550 Create directory operation failed.".
int ReportFailure(const oru::shared::error::CRKError& error, const std::string& ftpReplies = "");
int ReportProblem(const std::string& text, int status);

// The last complete reply line of an FTP server ("550 Create directory operation failed."),
// without its line end; empty when there is none.
std::string LastReplyLine(const std::string& replies);

}  // namespace rktool
