// CConnection::Prepare: a fresh easy handle with the options both protocols share.
#include "connection/Prepare.h"

#include <RKLogging/RKLogging.h>
#include <curl/curl.h>

#include <cstring>

#include "RKCurl/TextConversion.h"
#include "connection/ConnectionAccess.h"
#include "connection/ConnectionState.h"
#include "connection/CurlOption.h"
#include "connection/NetworkLibrary.h"
#include "connection/RecordFailure.h"
#include "connection/TransferControls.h"
#include "foundation/LogSites.h"

using oru::shared::error::RKERR_HANDLE_INIT;
using oru::shared::error::RKERR_SET_OPTION;

namespace rkcurl {

namespace {

using Access = ConnectionAccess;

// Sets the shared options in their fixed order; false at the first one libcurl refuses.
bool SetSharedOptions(CConnection& c, const std::string& url, bool secure) {
    if (!SetOption(c, CURLOPT_VERBOSE, static_cast<long>(Access::Debug(c))) ||
        !SetOption(c, CURLOPT_ERRORBUFFER, Access::ErrorBuffer(c)) ||
        !SetOption(c, CURLOPT_URL, Access::StoreUrl(c, url))) {
        return false;
    }
    const curl_write_callback sink = &Access::WriteStream;
    if (!SetOption(c, CURLOPT_WRITEFUNCTION, sink) ||
        !SetOption(c, CURLOPT_WRITEDATA, static_cast<void*>(&Access::Response(c))) ||
        !SetOption(c, CURLOPT_HEADERFUNCTION, sink) ||
        !SetOption(c, CURLOPT_HEADERDATA, static_cast<void*>(&Access::Header(c)))) {
        return false;
    }
    if (Access::Progress(c) != nullptr) {
        const curl_progress_callback progress = Access::Progress(c);
        if (!SetOption(c, CURLOPT_NOPROGRESS, 0L) ||
            !SetOption(c, CURLOPT_PROGRESSFUNCTION, progress)) {
            return false;
        }
    }
    if (!SetOption(c, CURLOPT_FAILONERROR, 1L)) return false;
    if (Access::NeedAuthentication(c) != 0) {
        std::string& userPassword = Access::UserPassword(c);
        userPassword = oru::helper::WideStrToNarStr(Access::UserName(c)) + ":" +
                       oru::helper::WideStrToNarStr(Access::Password(c));
        if (!SetOption(c, CURLOPT_USERPWD, userPassword.c_str())) return false;
    }
    ConnectionState& state = Access::State(c);
    if (state.reuseConnections != 0) {
        if (!state.shares) state.shares = std::make_shared<CurlSharePool>();
        // The cache outlives every handle attached to it: a reset handle may still be attached
        // to the cache it had, which is let go only once the handle has moved on.
        std::shared_ptr<CurlShareOwner> cache = state.shares->For(state.TlsSettingsKey(secure));
        if (!SetOption(c, CURLOPT_SHARE, cache->share)) return false;
        state.curlOwner->share = std::move(cache);
    }
    return SetTransferControls(c);
}

}  // namespace

int PrepareUrl(CConnection& c, const std::string& url, bool secure) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CConnection::Prepare", nullptr);
    std::memset(Access::ErrorBuffer(c), 0, sizeof Access::ErrorBuffer(c));

    static CNetworkLibrary s_networkLibrary;  // once per process, thread-safe
    (void)s_networkLibrary;

    ConnectionState& state = Access::State(c);
    state.lastResponseCode = 0;
    oru::shared::error::CRKError& error = Access::Error(c);
    error = TakeInitError();
    if (error.m_code != 0) {
        LOGGER::g_RKLog.WriteLog("Error while initializing network library", LOGGER::SEV_ERROR,
                                 kLogFileConnection, kLogLineNetworkInit, nullptr);
        return RecordFailure(c, error.m_code, error.m_extendedCode);
    }

    Access::Handle(c) = state.AdoptFreshOrSpareHandle();
    if (Access::Handle(c) == nullptr)
        return RecordFailure(c, RKERR_HANDLE_INIT, error.m_extendedCode);

    if (!SetSharedOptions(c, url, secure))
        return RecordFailure(c, RKERR_SET_OPTION, Access::LastCurlCode(c));
    return 0;
}

}  // namespace rkcurl

// Prefix, server and HREF are joined without a separator: an HREF begins with "/".
int CConnection::Prepare(const std::wstring& prefix) {
    return rkcurl::PrepareUrl(*this, oru::helper::WideStrToNarStr(prefix + m_server) + m_href,
                              m_secure != 0);
}

int CConnection::PrepareSecurity() {
    if (m_secure == 0) return 0;
    if (rkcurl::SetCertificateChecks(*this)) return 0;
    return rkcurl::RecordFailure(*this, RKERR_SET_OPTION, m_lastCurlCode);
}
