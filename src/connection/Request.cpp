#include "connection/Request.h"

#include <cstring>

#include "connection/ConnectionAccess.h"
#include "connection/ConnectionState.h"
#include "connection/CurlOption.h"
#include "connection/PolledPerform.h"
#include "connection/RecordFailure.h"

namespace rkcurl {

namespace {

// Whether a failed FTP transfer met a cached connection that the server had already dropped
// (closed it, or said 421 and closed it) before anything was transferred: then the same request
// on a fresh connection is the request the host asked for. A transfer that opened a connection
// of its own, or moved any data, is never run again. (libcurl retries a dropped HTTP connection
// itself.)
bool MetDroppedCachedConnection(CURL* handle, CURLcode result) {
    const char* scheme = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_SCHEME, &scheme) != CURLE_OK || scheme == nullptr ||
        (std::strcmp(scheme, "FTP") != 0 && std::strcmp(scheme, "FTPS") != 0)) {
        return false;
    }
    long connects = -1;
    long reply = 0;
    curl_off_t down = -1, up = -1;
    if (curl_easy_getinfo(handle, CURLINFO_NUM_CONNECTS, &connects) != CURLE_OK ||
        curl_easy_getinfo(handle, CURLINFO_SIZE_DOWNLOAD_T, &down) != CURLE_OK ||
        curl_easy_getinfo(handle, CURLINFO_SIZE_UPLOAD_T, &up) != CURLE_OK ||
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &reply) != CURLE_OK) {
        return false;
    }
    if (connects != 0 || down != 0 || up != 0) return false;
    // 421: the server's notice that it closes (libcurl 7.88 then reports 28 or the refused
    // step). No reply at all: the connection was found closed.
    if (reply == 421) return true;
    return reply == 0 && (result == CURLE_SEND_ERROR || result == CURLE_RECV_ERROR ||
                          result == CURLE_GOT_NOTHING);
}

}  // namespace

Request::Request(CConnection& channel, const RequestShape& shape)
    : m_channel(channel), m_shape(shape) {}

// A request destroyed between Start and Finish (a performer that gave up) still lets go of
// the handle; what the operation built goes with the operation's own members.
Request::~Request() {
    if (m_mustRelease && m_shape.releasesHandle) ReleaseHandle(m_channel);
}

// The one perform point of the object's own handle. With connection reuse on, a request that
// found its cached connection dropped runs once more on a fresh connection.
int Request::Run() {
    if (!Start()) return m_result;
    CurlHandleOwner* const owner = ConnectionAccess::State(m_channel).curlOwner.get();
    const bool reused = owner != nullptr && owner->share;
    const bool polled = m_shape.pollsReusedConnection && reused;
    const auto perform = [&] {
        return polled ? PerformPolled(*owner) : curl_easy_perform(Handle());
    };
    CURLcode result = perform();
    if (reused && result != CURLE_OK && MetDroppedConnection(result)) {
        // The fresh connection goes into the cache for the requests after this one.
        if (UseFreshConnection()) {
            result = perform();
            SetOption(m_channel, CURLOPT_FRESH_CONNECT, 0L);
        }
    }
    Finish(result);
    return m_result;
}

bool Request::Start() {
    if (m_shape.trace != nullptr) m_trace.emplace(LOGGER::g_RKLog, m_shape.trace, nullptr);
    if (HasNothingToSend()) {
        End(0);
        return false;
    }
    if (m_shape.scheme != nullptr) {
        const int prepared = m_channel.Prepare(m_shape.scheme);  // through the virtual slot
        if (prepared != 0) {
            End(ReportPrepareFailure(prepared));
            return false;
        }
    }
    m_mustRelease = true;
    int code = 0;
    try {
        code = SetOwnOptions();
    } catch (...) {
        Release();
        throw;
    }
    if (code != 0) {
        Release();
        End(code);
        return false;
    }
    return true;
}

void Request::Finish(int curlResult) {
    ConnectionAccess::LastCurlCode(m_channel) = curlResult;
    long responseCode = 0;
    if (curl_easy_getinfo(Handle(), CURLINFO_RESPONSE_CODE, &responseCode) == CURLE_OK)
        ConnectionAccess::State(m_channel).lastResponseCode = responseCode;
    int code = 0;
    try {
        const int result = AfterPerform(curlResult);
        code = result != CURLE_OK ? ReportTransferFailure(result) : Complete();
    } catch (...) {
        Release();
        throw;
    }
    Release();
    End(code);
}

bool Request::MetDroppedConnection(int curlResult) const {
    return MetDroppedCachedConnection(Handle(), static_cast<CURLcode>(curlResult));
}

bool Request::UseFreshConnection() {
    std::memset(ConnectionAccess::ErrorBuffer(m_channel), 0,
                sizeof ConnectionAccess::ErrorBuffer(m_channel));
    return SetOption(m_channel, CURLOPT_FRESH_CONNECT, 1L);
}

CURL* Request::Handle() const {
    return ConnectionAccess::Handle(m_channel);
}

int Request::ReportTransferFailure(int result) {
    return Fail(m_shape.transferFailureCode, result);
}

int Request::Fail(int code, int extendedCode) {
    return RecordFailure(m_channel, code, extendedCode);
}

int Request::LastCurlCode() const {
    return ConnectionAccess::LastCurlCode(m_channel);
}

// The handle first, as the protocol says; then what the operation built.
void Request::Release() {
    m_mustRelease = false;
    if (m_shape.releasesHandle) ReleaseHandle(m_channel);
    ReleaseOwn();
}

void Request::End(int result) {
    m_result = result;
    m_trace.reset();
}

}  // namespace rkcurl
