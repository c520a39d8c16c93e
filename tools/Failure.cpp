#include "Failure.h"

#include <RKCurl/TextConversion.h>

#include <cctype>
#include <cstdio>

#include "Progress.h"

namespace rktool {

using namespace oru::shared::error;

const char* CodeName(int code) {
    // Every enumerator has its case and there is no default: a new code without a name breaks
    // the build (warnings are fatal).
    switch (static_cast<rkerr_e>(code)) {
        case RKERR_BUFFER_TOO_SMALL:
            return "RKERR_BUFFER_TOO_SMALL";
        case RKERR_GLOBAL_INIT:
            return "RKERR_GLOBAL_INIT";
        case RKERR_HANDLE_INIT:
            return "RKERR_HANDLE_INIT";
        case RKERR_SET_OPTION:
            return "RKERR_SET_OPTION";
        case RKERR_FILE_OPEN:
            return "RKERR_FILE_OPEN";
        case RKERR_PERFORM:
            return "RKERR_PERFORM";
        case RKERR_DELETE_FILE:
            return "RKERR_DELETE_FILE";
        case RKERR_COMMAND:
            return "RKERR_COMMAND";
        case RKERR_SET_CURRENT_DIR:
            return "RKERR_SET_CURRENT_DIR";
        case RKERR_GET_CURRENT_DIR:
            return "RKERR_GET_CURRENT_DIR";
        case RKERR_CREATE_DIR:
            return "RKERR_CREATE_DIR";
        case RKERR_GET_FILE:
            return "RKERR_GET_FILE";
        case RKERR_REMOVE_DIR:
            return "RKERR_REMOVE_DIR";
        case RKERR_ABORTED:
            return "RKERR_ABORTED";
    }
    return "RKERR_UNKNOWN";
}

std::string FailureText(const CRKError& error) {
    std::string text =
        std::string(CodeName(error.what())) + " (" + std::to_string(error.what()) + ")";
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

int ReportFailure(const CRKError& error) {
    if (Interrupted()) return ReportProblem("interrupted", kExitInterrupted);
    return ReportProblem(FailureText(error), kExitFailed);
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
    std::fprintf(stderr, "rkcurl: %s\n", text.c_str());
    return status;
}

}  // namespace rktool
