#include "connection/MultiPerformer.h"

#include <utility>

#include "connection/NetworkLibrary.h"

namespace rkcurl {

namespace {

// As in the polled loop of a single transfer: a transfer parked without a socket or timer to
// wake it is woken within this cap.
constexpr int kPollCapMs = 20;

}  // namespace

MultiPerformer::MultiPerformer() {
    HoldNetworkLibrary();
    m_multi = curl_multi_init();
}

// Requests still running are taken off the multi handle; their owners release them.
MultiPerformer::~MultiPerformer() {
    for (const auto& running : m_running) curl_multi_remove_handle(m_multi, running.first);
    if (m_multi != nullptr) curl_multi_cleanup(m_multi);
    ReleaseNetworkLibrary();
}

void MultiPerformer::Add(Request& request, Completion done) {
    if (!request.Start()) {
        if (done) done(request);
        return;
    }
    CURL* const handle = request.Handle();
    if (m_multi == nullptr || curl_multi_add_handle(m_multi, handle) != CURLM_OK) {
        request.Finish(curl_easy_perform(handle));
        if (done) done(request);
        return;
    }
    m_running[handle] = Entry{&request, std::move(done)};
}

void MultiPerformer::Run() {
    while (!m_running.empty()) {
        int active = 0;
        CURLMcode code = curl_multi_perform(m_multi, &active);
        if (code == CURLM_OK && active != 0 && static_cast<std::size_t>(active) == m_running.size())
            code = curl_multi_poll(m_multi, nullptr, 0, kPollCapMs, nullptr);
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
        Entry entry = std::move(found->second);
        m_running.erase(found);
        curl_multi_remove_handle(m_multi, handle);
        entry.request->Finish(result);
        if (entry.done) entry.done(*entry.request);
    }
}

}  // namespace rkcurl
