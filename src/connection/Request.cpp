#include "connection/Request.h"

#include "connection/ConnectionAccess.h"
#include "connection/ConnectionState.h"
#include "connection/PolledPerform.h"
#include "connection/RecordFailure.h"

namespace rkcurl {

Request::Request(CConnection& channel, const RequestShape& shape)
    : m_channel(channel), m_shape(shape) {}

// A request destroyed between Start and Finish (a performer that gave up) still lets go of
// the handle; what the operation built goes with the operation's own members.
Request::~Request() {
    if (m_mustRelease && m_shape.releasesHandle) ReleaseHandle(m_channel);
}

// The one perform point of the object's own handle.
int Request::Run() {
    if (!Start()) return m_result;
    CurlHandleOwner* const owner = ConnectionAccess::State(m_channel).curlOwner.get();
    const bool polled = m_shape.pollsReusedConnection && owner != nullptr && owner->share;
    Finish(polled ? PerformPolled(*owner) : curl_easy_perform(Handle()));
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
