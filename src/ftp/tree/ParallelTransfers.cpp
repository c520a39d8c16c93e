#include "ftp/tree/ParallelTransfers.h"

#include <deque>
#include <map>
#include <vector>

#include "connection/NetworkLibrary.h"

namespace rkcurl {
namespace ftp {

namespace {

// The longest wait between two steps. libcurl can park a transfer on a reused connection
// without a socket or timer to wake it (see PolledPerform.h); a tree meets that for most of
// its files, so the cap is short: a millisecond per file instead of the 20 ms a single
// transfer can afford. An idle wait wakes a thousand times a second, which costs little.
constexpr int kPollCapMs = 1;
// How often a job refused with no other connection of the call open is tried again: the
// server may still count connections that are closing.
constexpr int kLoneRefusals = 3;
constexpr int kLoneRefusalWaitMs = 300;

struct Running {
    std::size_t job;
    std::size_t slot;
};

// A refused connect, or a 421 reply (libcurl reports one as a timeout, 28) before the login.
bool IsRefusedConnection(CURL* handle, CURLcode result) {
    if (result == CURLE_COULDNT_CONNECT) return true;
    long reply = 0;
    return (result == CURLE_OPERATION_TIMEDOUT || result == CURLE_WEIRD_SERVER_REPLY) &&
           curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &reply) == CURLE_OK && reply == 421;
}

}  // namespace

ParallelTransfers::ParallelTransfers(int connections)
    : m_multi(nullptr),
      m_limit(connections < 1    ? 1
              : connections > 16 ? 16
                                 : connections) {
    HoldNetworkLibrary();
    m_multi = curl_multi_init();
    if (m_multi == nullptr) return;
    curl_multi_setopt(m_multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(m_limit));
    curl_multi_setopt(m_multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(m_limit));
}

ParallelTransfers::~ParallelTransfers() {
    if (m_multi != nullptr) curl_multi_cleanup(m_multi);  // closes the cached connections
    ReleaseNetworkLibrary();
}

void ParallelTransfers::Run(TransferJobs& jobs, std::size_t count) {
    std::deque<std::size_t> waiting;
    for (std::size_t job = 0; job < count; ++job) waiting.push_back(job);
    std::vector<bool> slotBusy(static_cast<std::size_t>(m_limit), false);
    std::map<CURL*, Running> running;
    int loneRefusals = 0;

    const auto start = [&]() {
        while (!waiting.empty() && static_cast<int>(running.size()) < m_limit && jobs.KeepGoing()) {
            std::size_t slot = 0;
            while (slotBusy[slot]) ++slot;
            const std::size_t job = waiting.front();
            waiting.pop_front();
            CURL* const handle = jobs.Start(job, slot);
            if (handle == nullptr) continue;  // failed before it started
            if (m_multi == nullptr || curl_multi_add_handle(m_multi, handle) != CURLM_OK) {
                jobs.Finish(job, slot, CURLE_OUT_OF_MEMORY);
                continue;
            }
            slotBusy[slot] = true;
            running.emplace(handle, Running{job, slot});
        }
    };

    start();
    while (!running.empty()) {
        int active = 0;
        CURLMcode code = curl_multi_perform(m_multi, &active);
        if (code == CURLM_OK && active > 0) {
            code = curl_multi_poll(m_multi, nullptr, 0, kPollCapMs, nullptr);
        }
        int left = 0;
        while (const CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
            if (message->msg != CURLMSG_DONE) continue;
            CURL* const handle = message->easy_handle;
            const CURLcode result = message->data.result;
            const auto found = running.find(handle);
            if (found == running.end()) continue;
            const Running done = found->second;
            const int open = static_cast<int>(running.size());  // this one included
            running.erase(found);
            curl_multi_remove_handle(m_multi, handle);
            slotBusy[done.slot] = false;
            if (IsRefusedConnection(handle, result) && (open > 1 || loneRefusals < kLoneRefusals)) {
                // The server takes no more connections than those open now.
                if (open > 1) {
                    m_limit = std::min(m_limit, open - 1);
                    curl_multi_setopt(m_multi, CURLMOPT_MAX_HOST_CONNECTIONS,
                                      static_cast<long>(m_limit));
                    curl_multi_setopt(m_multi, CURLMOPT_MAX_TOTAL_CONNECTIONS,
                                      static_cast<long>(m_limit));
                } else {
                    ++loneRefusals;
                    curl_multi_poll(m_multi, nullptr, 0, kLoneRefusalWaitMs, nullptr);
                }
                jobs.Abandon(done.job, done.slot);
                waiting.push_front(done.job);
                continue;
            }
            if (result == CURLE_OK) loneRefusals = 0;
            jobs.Finish(done.job, done.slot, result);
        }
        if (!jobs.KeepGoing()) {
            for (const auto& entry : running) {
                curl_multi_remove_handle(m_multi, entry.first);
                jobs.Finish(entry.second.job, entry.second.slot, CURLE_ABORTED_BY_CALLBACK);
            }
            running.clear();
            break;
        }
        start();
        if (code != CURLM_OK) {  // the multi handle itself failed: end what runs
            for (const auto& entry : running) {
                curl_multi_remove_handle(m_multi, entry.first);
                jobs.Finish(entry.second.job, entry.second.slot, CURLE_OUT_OF_MEMORY);
            }
            running.clear();
        }
    }
}

}  // namespace ftp
}  // namespace rkcurl
