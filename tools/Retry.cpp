#include "Retry.h"

#include <RKCurl/TextConversion.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "Failure.h"
#include "Progress.h"
#include "Signals.h"

namespace rktool {

bool IsTransient(const oru::shared::error::CRKError& error, const std::string& ftpReplies) {
    constexpr int kCouldNotConnect = 7;
    constexpr int kTimedOut = 28;
    constexpr int kHttpError = 22;
    if (error.whatEx() == kCouldNotConnect || error.whatEx() == kTimedOut) return true;
    const std::string reply = LastReplyLine(ftpReplies);
    if (!reply.empty() && reply[0] == '4') return true;
    // A data connection whose TLS session the server would not take (vsftpd's "522 SSL
    // connection failed"): a new connection starts a new session.
    if (reply.compare(0, 4, "522 ") == 0) return true;
    if (error.whatEx() == kHttpError) {
        // libcurl's message for it ends in the status: "...returned error: 503".
        const std::string message = oru::helper::WideStrToNarStr(error.GetMessageEx());
        const auto at = message.find("error: ");
        return at != std::string::npos && message.compare(at + 7, 1, "5") == 0;
    }
    return false;
}

int WithRetries(int retries, bool quiet, const std::string& label,
                const std::function<int()>& attempt, const std::function<bool()>& transient) {
    int rc = attempt();
    for (int done = 0; rc != 0 && done < retries && !Interrupted() && transient(); ++done) {
        const int pause = std::min(1 << std::min(done, 4), 10);
        if (!quiet) {
            FinishProgress();
            std::fprintf(stderr, "rkcurl: %s: transient failure, retry %d of %d in %d s\n",
                         label.c_str(), done + 1, retries, pause);
        }
        std::this_thread::sleep_for(std::chrono::seconds(pause));
        rc = attempt();
    }
    return rc;
}

}  // namespace rktool
