// CConnection's opt-in transfer controls: limits, certificate checks, the TLS version range,
// the proxy choices, the netrc file and the debug callback. Each option is added only when its
// setter asked for it, so a request with none called sets exactly the shared options.
#include "connection/TransferControls.h"

#include <curl/curl.h>

#include <string>

#include "RKCurl/TextConversion.h"
#include "connection/ConnectionAccess.h"
#include "connection/ConnectionState.h"
#include "connection/CurlOption.h"
#include "connection/Prepare.h"
#include "foundation/WideText.h"

namespace {

std::string Utf8OrEmpty(const wchar_t* text) {
    return oru::helper::WideStrToNarStr(rkcurl::OrEmpty(text));
}

// libcurl's shape of the host's debug callback; owner is the handle's CurlHandleOwner.
int ForwardDebug(CURL*, curl_infotype type, char* data, size_t size, void* owner) {
    const auto* target = static_cast<const rkcurl::CurlHandleOwner*>(owner);
    if (target == nullptr || target->debugCallback == nullptr) return 0;
    return target->debugCallback(target->debugData, static_cast<int>(type), data, size);
}

// A version as SetTlsVersions takes it (0 for libcurl's default, 10 to 13) as libcurl's lowest
// or highest version; any other value becomes one that libcurl refuses, so the next preparation
// fails instead of quietly running with versions the host did not ask for.
long TlsVersionBound(int version, bool highest) {
    struct Bounds {
        long lowest;
        long highest;
    };
    Bounds bounds{CURL_SSLVERSION_LAST, CURL_SSLVERSION_MAX_LAST};
    switch (version) {
        case 0:
            bounds = {CURL_SSLVERSION_DEFAULT, CURL_SSLVERSION_MAX_DEFAULT};
            break;
        case 10:
            bounds = {CURL_SSLVERSION_TLSv1_0, CURL_SSLVERSION_MAX_TLSv1_0};
            break;
        case 11:
            bounds = {CURL_SSLVERSION_TLSv1_1, CURL_SSLVERSION_MAX_TLSv1_1};
            break;
        case 12:
            bounds = {CURL_SSLVERSION_TLSv1_2, CURL_SSLVERSION_MAX_TLSv1_2};
            break;
        case 13:
            bounds = {CURL_SSLVERSION_TLSv1_3, CURL_SSLVERSION_MAX_TLSv1_3};
            break;
        default:
            break;
    }
    return highest ? bounds.highest : bounds.lowest;
}

}  // namespace

int CConnection::SetTlsVersions(int minimum, int maximum) {
    m_state->controls.tlsVersions =
        TlsVersionBound(minimum, false) | TlsVersionBound(maximum, true);
    return 0;
}

int CConnection::SetConnectTimeout(long milliseconds) {
    m_state->controls.connectTimeoutMs = milliseconds;
    return 0;
}

int CConnection::SetTimeout(long milliseconds) {
    m_state->controls.timeoutMs = milliseconds;
    return 0;
}

int CConnection::SetLowSpeedLimit(long bytesPerSecond, long seconds) {
    m_state->controls.lowSpeedLimit = bytesPerSecond;
    m_state->controls.lowSpeedTime = seconds;
    return 0;
}

int CConnection::SetVerifyPeer(int verify) {
    m_state->controls.verifyPeer = verify;
    return 0;
}

int CConnection::SetCACertificateFile(const wchar_t* path) {
    m_state->controls.caFile = Utf8OrEmpty(path);
    return 0;
}

int CConnection::SetProxy(const wchar_t* proxy) {
    m_state->controls.proxySet = proxy != nullptr;
    m_state->controls.proxy = Utf8OrEmpty(proxy);
    return 0;
}

int CConnection::SetNoProxy(const wchar_t* hosts) {
    m_state->controls.noProxySet = hosts != nullptr;
    m_state->controls.noProxy = Utf8OrEmpty(hosts);
    return 0;
}

int CConnection::SetNetrcFile(const wchar_t* path) {
    m_state->controls.netrcFile = Utf8OrEmpty(path);
    return 0;
}

int CConnection::SetDebugCallback(DebugCallback callback, void* clientData) {
    m_state->controls.debugCallback = callback;
    m_state->controls.debugData = callback != nullptr ? clientData : nullptr;
    return 0;
}

namespace rkcurl {

bool SetTransferControls(CConnection& c) {
    ConnectionState& state = ConnectionAccess::State(c);
    const TransferControls& controls = state.controls;
    if (controls.connectTimeoutMs != 0 &&
        !SetOption(c, CURLOPT_CONNECTTIMEOUT_MS, controls.connectTimeoutMs)) {
        return false;
    }
    if (controls.timeoutMs != 0 && !SetOption(c, CURLOPT_TIMEOUT_MS, controls.timeoutMs))
        return false;
    if (controls.lowSpeedLimit != 0 || controls.lowSpeedTime != 0) {
        if (!SetOption(c, CURLOPT_LOW_SPEED_LIMIT, controls.lowSpeedLimit) ||
            !SetOption(c, CURLOPT_LOW_SPEED_TIME, controls.lowSpeedTime)) {
            return false;
        }
    }
    // libcurl keeps its own copy of string options, so the texts may change after this call.
    if (controls.proxySet && !SetOption(c, CURLOPT_PROXY, controls.proxy.c_str())) return false;
    if (controls.noProxySet && !SetOption(c, CURLOPT_NOPROXY, controls.noProxy.c_str()))
        return false;
    if (!controls.netrcFile.empty() &&
        (!SetOption(c, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_OPTIONAL)) ||
         !SetOption(c, CURLOPT_NETRC_FILE, controls.netrcFile.c_str()))) {
        return false;
    }
    if (controls.debugCallback != nullptr) {
        CurlHandleOwner& owner = *state.curlOwner;
        owner.debugCallback = controls.debugCallback;
        owner.debugData = controls.debugData;
        const curl_debug_callback forward = &ForwardDebug;
        if (!SetOption(c, CURLOPT_DEBUGFUNCTION, forward) ||
            !SetOption(c, CURLOPT_DEBUGDATA, static_cast<void*>(&owner)) ||
            !SetOption(c, CURLOPT_VERBOSE, 1L)) {
            return false;
        }
    }
    return true;
}

bool SetCertificateChecks(CConnection& c) {
    const TransferControls& controls = ConnectionAccess::State(c).controls;
    const long verify = controls.verifyPeer != 0 ? 1L : 0L;
    if (!SetOption(c, CURLOPT_SSL_VERIFYPEER, verify) ||
        !SetOption(c, CURLOPT_SSL_VERIFYHOST, verify != 0 ? 2L : 0L)) {
        return false;
    }
    if (!controls.caFile.empty()) {
        if (!SetOption(c, CURLOPT_CAINFO, controls.caFile.c_str())) return false;
    }
#ifdef _WIN32
    // Without a bundle file, Windows builds check against the system's certificate store.
    else if (verify != 0 &&
             !SetOption(c, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA))) {
        return false;
    }
#endif
    // Last, so that it also replaces the default version that an FTPS preparation sets first.
    return controls.tlsVersions == 0 || SetOption(c, CURLOPT_SSLVERSION, controls.tlsVersions);
}

}  // namespace rkcurl
