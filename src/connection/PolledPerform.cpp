#include "connection/PolledPerform.h"

namespace rkcurl {

namespace {

// The longest wait between two steps of the transfer: short enough that a parked transfer
// costs nothing noticeable, long enough that an idle wait does not spin.
constexpr int kPollCapMs = 20;

// curl_easy_perform's own mapping of a failure of the multi interface.
CURLcode FromMultiCode(CURLMcode code) {
    return code == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_BAD_FUNCTION_ARGUMENT;
}

CURLcode RunUntilDone(CURLM* multi, CURL* handle) {
    int running = 1;
    while (running != 0) {
        CURLMcode code = curl_multi_perform(multi, &running);
        if (code == CURLM_OK && running != 0) {
            code = curl_multi_poll(multi, nullptr, 0, kPollCapMs, nullptr);
        }
        if (code != CURLM_OK) return FromMultiCode(code);
    }
    int left = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == handle) {
            return message->data.result;
        }
    }
    return CURLE_BAD_FUNCTION_ARGUMENT;  // finished without a result: not a transfer libcurl ran
}

}  // namespace

CURLcode PerformPolled(CurlHandleOwner& owner) {
    if (owner.multi == nullptr) owner.multi = curl_multi_init();
    if (owner.multi == nullptr || curl_multi_add_handle(owner.multi, owner.handle) != CURLM_OK) {
        return curl_easy_perform(owner.handle);
    }
    const CURLcode result = RunUntilDone(owner.multi, owner.handle);
    curl_multi_remove_handle(owner.multi, owner.handle);
    return result;
}

}  // namespace rkcurl
