#include "connection/MultiPerformer.h"

#include <algorithm>
#include <utility>

#include "connection/NetworkLibrary.h"

namespace rkcurl {

namespace {

// A refused request with no other running is tried again this often, after this pause: the
// server may still count connections of ours that are closing.
constexpr int kLoneRefusals = 3;
constexpr int kLoneRefusalWaitMs = 300;

// A refused connect, or a 421 reply (libcurl reports one as a timeout, 28) before the login.
bool IsRefusedConnection(CURL* handle, CURLcode result) {
    if (result == CURLE_COULDNT_CONNECT) return true;
    long reply = 0;
    return (result == CURLE_OPERATION_TIMEDOUT || result == CURLE_WEIRD_SERVER_REPLY) &&
           curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &reply) == CURLE_OK && reply == 421;
}

}  // namespace

MultiPerformer::MultiPerformer() {
    HoldNetworkLibrary();
    m_multi = curl_multi_init();
}

// Requests still running are taken off the multi handle; their owners release them.
MultiPerformer::~MultiPerformer() {
    for (const auto& running : m_running) curl_multi_remove_handle(m_multi, running.first);
    if (m_multi != nullptr) curl_multi_cleanup(m_multi);  // closes the cached connections
    ReleaseNetworkLibrary();
}

void MultiPerformer::LimitConnections(int connections) {
    m_limit = std::min(16, std::max(1, connections));
    SetMultiCap();
}

void MultiPerformer::SetMultiCap() {
    if (m_multi == nullptr) return;
    curl_multi_setopt(m_multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(m_limit));
    curl_multi_setopt(m_multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(m_limit));
}

void MultiPerformer::Add(Request& request, Completion done) {
    Enqueue(Entry{&request, std::move(done)}, false);
}

void MultiPerformer::AddFirst(Request& request, Completion done) {
    Enqueue(Entry{&request, std::move(done)}, true);
}

void MultiPerformer::Enqueue(Entry entry, bool first) {
    if (first) {
        m_waiting.push_front(std::move(entry));
    } else {
        m_waiting.push_back(std::move(entry));
    }
    StartWaiting();
}

void MultiPerformer::StartWaiting() {
    while (!m_waiting.empty() &&
           (m_limit == 0 || m_running.size() < static_cast<std::size_t>(m_limit))) {
        Entry entry = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (!entry.started && !entry.request->Start()) {
            if (entry.done) entry.done(*entry.request);
            continue;
        }
        entry.started = true;
        Perform(std::move(entry));
    }
}

void MultiPerformer::Perform(Entry entry) {
    CURL* const handle = entry.request->Handle();
    if (m_multi == nullptr || curl_multi_add_handle(m_multi, handle) != CURLM_OK) {
        entry.request->Finish(curl_easy_perform(handle));
        if (entry.done) entry.done(*entry.request);
        return;
    }
    m_running.emplace(handle, std::move(entry));
}

void MultiPerformer::Run() {
    RunUntil(nullptr);
}

void MultiPerformer::RunUntil(const std::function<bool()>& done) {
    while (!m_running.empty() || !m_waiting.empty()) {
        if (done && done()) return;
        if (m_running.empty()) {
            StartWaiting();
            continue;
        }
        int active = 0;
        CURLMcode code = curl_multi_perform(m_multi, &active);
        if (code == CURLM_OK && active != 0 && static_cast<std::size_t>(active) == m_running.size())
            code = curl_multi_poll(m_multi, nullptr, 0, m_pollCapMs, nullptr);
        CompleteFinished();
        if (code != CURLM_OK) {
            // The multi interface itself failed: every transfer still running fails as
            // curl_easy_perform reports such a failure.
            const CURLcode result =
                code == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_BAD_FUNCTION_ARGUMENT;
            while (!m_running.empty()) {
                auto first = m_running.begin();
                Entry entry = std::move(first->second);
                curl_multi_remove_handle(m_multi, first->first);
                m_running.erase(first);
                entry.request->Finish(result);
                if (entry.done) entry.done(*entry.request);
            }
        }
        StartWaiting();
    }
}

void MultiPerformer::CompleteFinished() {
    int left = 0;
    while (const CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE) continue;
        CURL* const handle = message->easy_handle;
        const CURLcode result = message->data.result;
        const auto found = m_running.find(handle);
        if (found == m_running.end()) continue;
        const std::size_t open = m_running.size();  // this one included
        Entry entry = std::move(found->second);
        m_running.erase(found);
        curl_multi_remove_handle(m_multi, handle);
        if (m_limit != 0 && result != CURLE_OK && Requeue(handle, result, entry)) {
            if (open > 1 && IsRefusedConnection(handle, result)) {
                // The server takes no more connections than those open now.
                m_limit = std::min(m_limit, static_cast<int>(open - 1));
                SetMultiCap();
            }
            m_waiting.push_front(std::move(entry));
            continue;
        }
        if (result == CURLE_OK) m_loneRefusals = 0;
        entry.request->Finish(result);
        if (entry.done) entry.done(*entry.request);
    }
}

bool MultiPerformer::Requeue(CURL* handle, CURLcode result, Entry& entry) {
    if (IsRefusedConnection(handle, result)) {
        if (m_running.empty()) {
            if (m_loneRefusals >= kLoneRefusals) return false;
            ++m_loneRefusals;
            curl_multi_poll(m_multi, nullptr, 0, kLoneRefusalWaitMs, nullptr);
        }
        return true;
    }
    if (entry.retried || !entry.request->MetDroppedConnection(result)) return false;
    entry.retried = true;
    return entry.request->UseFreshConnection();
}

}  // namespace rkcurl
