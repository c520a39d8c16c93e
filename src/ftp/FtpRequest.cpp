#include "ftp/FtpRequest.h"

#include <RKLogging/RKLogging.h>

#include <optional>

#include "connection/PolledPerform.h"
#include "ftp/FtpUrl.h"

namespace rkcurl {
namespace ftp {

int FtpRequest::Run() {
    std::optional<LOGGER::CRKFuncLog> trace;
    if (m_profile.traceName != nullptr)
        trace.emplace(LOGGER::g_RKLog, m_profile.traceName, nullptr);
    if (HasNothingToSend()) return 0;
    if (m_profile.prepares) {
        const int prepared = m_session.Prepare(kScheme);  // through the virtual slot
        if (prepared != 0) return ReportPrepareFailure(prepared);
    }

    // From here on every exit, an exception included, lets go of what the operation built.
    struct ReleaseAtExit {
        FtpRequest& request;
        ~ReleaseAtExit() { request.ReleaseOwn(); }
    } release{*this};
    return Transfer();
}

int FtpRequest::Transfer() {
    if (const int code = SetOwnOptions()) return code;
    const int result = AfterPerform(Perform());
    if (result != CURLE_OK) return ReportTransferFailure(result);
    return Complete();
}

int FtpRequest::Perform() {
    // With connection reuse on, a loop of our own: see PolledPerform.h for the stall it avoids.
    rkcurl::CurlHandleOwner* const shared = rkcurl::ConnectionAccess::SharedCacheHandle(m_session);
    m_session.m_lastCurlCode =
        shared != nullptr ? PerformPolled(*shared) : curl_easy_perform(m_session.m_curl);
    return m_session.m_lastCurlCode;
}

int FtpRequest::ReportTransferFailure(int result) {
    return Fail(m_profile.transferFailureCode, result);
}

}  // namespace ftp
}  // namespace rkcurl
