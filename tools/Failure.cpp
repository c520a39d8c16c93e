#include "Failure.h"

#include <RKCurl/TextConversion.h>

#include <cctype>
#include <cstdio>

#include "Progress.h"
#include "Signals.h"
#include "TerminalText.h"

namespace rktool {

using namespace oru::shared::error;

namespace {

std::string g_label;

}  // namespace

void SetCommandLabel(const std::string& label) {
    g_label = label;
}

std::string FailureText(const CRKError& error) {
    std::string text =
        std::string(ErrorCodeName(error.what())) + " (" + std::to_string(error.what()) + ")";
    if (error.whatEx() == 0) return text;
    // The extended message is libcurl's description, a line feed, then the detail it wrote.
    std::string message = oru::helper::WideStrToNarStr(error.GetMessageEx());
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    for (std::size_t at = message.find('\n'); at != std::string::npos; at = message.find('\n')) {
        message.replace(at, 1, ": ");
    }
    text += " curl " + std::to_string(error.whatEx());
    if (!message.empty()) text += ": " + message;
    return text;
}

int ReportFailure(const CRKError& error, const std::string& ftpReplies) {
    if (Interrupted()) return ReportProblem("interrupted", kExitInterrupted);
    std::string text = FailureText(error);
    const std::string reply = LastReplyLine(ftpReplies);
    if (!reply.empty() && (reply[0] == '4' || reply[0] == '5')) text += "; server: " + reply;
    return ReportProblem(text, kExitFailed);
}

std::string LastReplyLine(const std::string& replies) {
    std::string last;
    std::size_t start = 0;
    while (start < replies.size()) {
        std::size_t end = replies.find('\n', start);
        if (end == std::string::npos) end = replies.size();
        std::string line = replies.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // "NNN text" closes a reply; "NNN-" lines continue one.
        if (line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) &&
            std::isdigit(static_cast<unsigned char>(line[1])) &&
            std::isdigit(static_cast<unsigned char>(line[2])) && line[3] == ' ') {
            last = line;
        }
        start = end + 1;
    }
    return last;
}

int ReportProblem(const std::string& text, int status) {
    FinishProgress();
    // A server's reply quoted in the message reaches a terminal escaped.
    const std::string shown = IsTerminal(fileno(stderr)) ? EscapeControls(text) : text;
    if (g_label.empty() || status == kExitInterrupted) {
        std::fprintf(stderr, "rkcurl: %s\n", shown.c_str());
    } else {
        std::fprintf(stderr, "rkcurl: %s: %s\n", g_label.c_str(), shown.c_str());
    }
    return status;
}

}  // namespace rktool
