// CConnection's opt-in transfer controls: limits, certificate checks and the proxy choice.
// Each option is added only when its setter asked for it, so a request with none called sets
// exactly the shared options.
#include <curl/curl.h>

#include <string>

#include "RKCurl/CConnection.h"
#include "RKCurl/TextConversion.h"
#include "connection/CurlOption.h"

int CConnection::SetConnectTimeout(long milliseconds) {
    m_controls.connectTimeoutMs = milliseconds;
    return 0;
}

int CConnection::SetTimeout(long milliseconds) {
    m_controls.timeoutMs = milliseconds;
    return 0;
}

int CConnection::SetLowSpeedLimit(long bytesPerSecond, long seconds) {
    m_controls.lowSpeedLimit = bytesPerSecond;
    m_controls.lowSpeedTime = seconds;
    return 0;
}

int CConnection::SetVerifyPeer(int verify) {
    m_controls.verifyPeer = verify;
    return 0;
}

int CConnection::SetCACertificateFile(const wchar_t* path) {
    m_controls.caFile = path == nullptr ? std::string() : oru::helper::WideStrToNarStr(path);
    return 0;
}

int CConnection::SetProxy(const wchar_t* proxy) {
    m_controls.proxySet = proxy != nullptr;
    m_controls.proxy = proxy == nullptr ? std::string() : oru::helper::WideStrToNarStr(proxy);
    return 0;
}

// Returns libcurl's result for the first option it refuses, 0 when all were taken.
int CConnection::SetTransferControls() {
    const TransferControls& c = m_controls;
    if (c.connectTimeoutMs != 0 &&
        !rkcurl::SetCurlOption(*this, CURLOPT_CONNECTTIMEOUT_MS, c.connectTimeoutMs)) {
        return m_lastCurlCode;
    }
    if (c.timeoutMs != 0 && !rkcurl::SetCurlOption(*this, CURLOPT_TIMEOUT_MS, c.timeoutMs))
        return m_lastCurlCode;
    if (c.lowSpeedLimit != 0 || c.lowSpeedTime != 0) {
        if (!rkcurl::SetCurlOption(*this, CURLOPT_LOW_SPEED_LIMIT, c.lowSpeedLimit) ||
            !rkcurl::SetCurlOption(*this, CURLOPT_LOW_SPEED_TIME, c.lowSpeedTime)) {
            return m_lastCurlCode;
        }
    }
    // libcurl keeps its own copy of string options, so the text may change after this call.
    if (c.proxySet && !rkcurl::SetCurlOption(*this, CURLOPT_PROXY, c.proxy.c_str()))
        return m_lastCurlCode;
    return 0;
}

// Plain requests share one cache, unchecked secure ones another, checked ones one per CA file.
std::string CConnection::TlsSettingsKey() const {
    if (m_secure == 0) return "plain";
    if (m_controls.verifyPeer == 0) return "unchecked";
    return "checked:" + m_controls.caFile;
}

bool CConnection::SetCertificateChecks() {
    const long verify = m_controls.verifyPeer != 0 ? 1L : 0L;
    if (!rkcurl::SetCurlOption(*this, CURLOPT_SSL_VERIFYPEER, verify) ||
        !rkcurl::SetCurlOption(*this, CURLOPT_SSL_VERIFYHOST, verify != 0 ? 2L : 0L)) {
        return false;
    }
    if (!m_controls.caFile.empty())
        return rkcurl::SetCurlOption(*this, CURLOPT_CAINFO, m_controls.caFile.c_str());
#ifdef _WIN32
    // Without a bundle file, Windows builds check against the system's certificate store.
    if (verify != 0)
        return rkcurl::SetCurlOption(*this, CURLOPT_SSL_OPTIONS,
                                     static_cast<long>(CURLSSLOPT_NATIVE_CA));
#endif
    return true;
}
