// CConnection::Prepare: a fresh easy handle with the options both protocols share.
#include <curl/curl.h>

#include <cstring>

#include "RKCurl/CConnection.h"
#include "RKCurl/TextConversion.h"
#include "connection/CurlHandle.h"
#include "connection/CurlOption.h"
#include "connection/NetworkLibrary.h"
#include "connection/StreamSink.h"
#include "foundation/LogSites.h"

using oru::shared::error::RKERR_HANDLE_INIT;
using oru::shared::error::RKERR_SET_OPTION;

// Prefix, server and HREF are joined without a separator: an HREF begins with "/".
int CConnection::Prepare(const std::wstring& prefix) {
    return PrepareUrl(oru::helper::WideStrToNarStr(prefix + m_server) + m_href);
}

int CConnection::PrepareUrl(const std::string& url) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CConnection::Prepare", nullptr);
    std::memset(m_curlErrorBuffer, 0, sizeof m_curlErrorBuffer);

    static CNetworkLibrary s_networkLibrary;  // once per process, thread-safe
    (void)s_networkLibrary;

    m_error = rkcurl::TakeInitError();
    if (m_error.m_code != 0) {
        LOGGER::g_RKLog.WriteLog("Error while initializing network library", LOGGER::SEV_ERROR,
                                 rkcurl::kLogFileConnection, rkcurl::kLogLineNetworkInit, nullptr);
        SetErrorString(m_error.m_code, m_error.m_extendedCode, m_error);
        return m_error.m_code;
    }

    AdoptFreshOrSpareHandle();
    if (m_curl == nullptr) {
        m_error.m_code = RKERR_HANDLE_INIT;
        SetErrorString(m_error.m_code, m_error.m_extendedCode, m_error);
        return RKERR_HANDLE_INIT;
    }

    if (SetSharedOptions(url) != 0) return RecordFailure(RKERR_SET_OPTION, m_lastCurlCode);
    return 0;
}

// Sets the shared options in their fixed order; stops at the first one libcurl refuses and
// returns its result.
int CConnection::SetSharedOptions(const std::string& url) {
    if (!rkcurl::SetCurlOption(*this, CURLOPT_VERBOSE, static_cast<long>(m_debug)))
        return m_lastCurlCode;
    if (!rkcurl::SetCurlOption(*this, CURLOPT_ERRORBUFFER, m_curlErrorBuffer))
        return m_lastCurlCode;

    StoreUrl(url);
    if (!rkcurl::SetCurlOption(*this, CURLOPT_URL, m_urlBuffer)) return m_lastCurlCode;

    const curl_write_callback sink = &rkcurl::StreamSink::Write;
    if (!rkcurl::SetCurlOption(*this, CURLOPT_WRITEFUNCTION, sink)) return m_lastCurlCode;
    if (!rkcurl::SetCurlOption(*this, CURLOPT_WRITEDATA, static_cast<void*>(&m_response)))
        return m_lastCurlCode;
    if (!rkcurl::SetCurlOption(*this, CURLOPT_HEADERFUNCTION, sink)) return m_lastCurlCode;
    if (!rkcurl::SetCurlOption(*this, CURLOPT_HEADERDATA, static_cast<void*>(&m_header)))
        return m_lastCurlCode;
    if (m_progressCallback != nullptr) {
        if (!rkcurl::SetCurlOption(*this, CURLOPT_NOPROGRESS, 0L)) return m_lastCurlCode;
        const curl_progress_callback progress = m_progressCallback;
        if (!rkcurl::SetCurlOption(*this, CURLOPT_PROGRESSFUNCTION, progress))
            return m_lastCurlCode;
    }
    if (!rkcurl::SetCurlOption(*this, CURLOPT_FAILONERROR, 1L)) return m_lastCurlCode;
    if (m_needAuthentication != 0) {
        m_userPassword = oru::helper::WideStrToNarStr(m_userName) + ":" +
                         oru::helper::WideStrToNarStr(m_password);
        if (!rkcurl::SetCurlOption(*this, CURLOPT_USERPWD, m_userPassword.c_str()))
            return m_lastCurlCode;
    }
    if (m_reuseConnections != 0) {
        if (!m_shares) m_shares = std::make_shared<rkcurl::CurlSharePool>();
        // The cache outlives every handle attached to it: a reset handle may still be attached
        // to the cache it had, which is let go only once the handle has moved on.
        std::shared_ptr<rkcurl::CurlShareOwner> cache = m_shares->For(TlsSettingsKey());
        if (!rkcurl::SetCurlOption(*this, CURLOPT_SHARE, cache->share)) return m_lastCurlCode;
        m_curlOwner->share = std::move(cache);
    }
    return SetTransferControls();
}

int CConnection::PrepareSecurity() {
    if (m_secure == 0) return 0;
    if (SetCertificateChecks()) return 0;
    return RecordFailure(RKERR_SET_OPTION, m_lastCurlCode);
}
