#include "Retry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "Progress.h"
#include "Signals.h"

namespace rktool {

bool IsTransient(const oru::shared::error::CRKError& error, Protocol protocol, long responseCode) {
    constexpr int kCouldNotConnect = 7;
    constexpr int kTimedOut = 28;
    if (error.whatEx() == kCouldNotConnect || error.whatEx() == kTimedOut) return true;
    const long kind = responseCode / 100;
    // A data connection whose TLS session the server would not take (vsftpd's "522 SSL
    // connection failed"): a new connection starts a new session.
    if (protocol == Protocol::Ftp) return kind == 4 || responseCode == 522;
    return kind == 5;
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
