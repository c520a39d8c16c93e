// CConnection: construction, copying, options, the response sink and handle ownership.
#include <curl/curl.h>

#include <algorithm>
#include <cstring>

#include "RKCurl/CConnection.h"
#include "connection/CurlHandle.h"
#include "connection/CurlOption.h"

using oru::shared::error::RKERR_BUFFER_TOO_SMALL;
using oru::shared::error::rkerr_e;

CConnection::CConnection()
    : m_debug(0),
      m_progressCallback(nullptr),
      m_curl(nullptr),
      m_lastCurlCode(0),
      m_secure(0),
      m_reuseConnections(0) {
    m_error.reset();
    std::memset(m_curlErrorBuffer, 0, sizeof m_curlErrorBuffer);
}

CConnection::CConnection(const CConnection& other)
    : CNetworkSetting(other),
      m_response(other.m_response),
      m_header(other.m_header),
      m_debug(other.m_debug),
      m_progressCallback(other.m_progressCallback),
      m_error(other.m_error),
      m_curl(other.m_curl),
      m_lastCurlCode(other.m_lastCurlCode),
      m_secure(other.m_secure),
      m_userPassword(other.m_userPassword),
      m_curlOwner(other.m_curlOwner),
      m_reuseConnections(other.m_reuseConnections),
      m_shares(other.m_shares),
      m_controls(other.m_controls) {
    std::memcpy(m_curlErrorBuffer, other.m_curlErrorBuffer, sizeof m_curlErrorBuffer);
}

CConnection& CConnection::operator=(const CConnection& other) {
    if (this == &other) return *this;
    CNetworkSetting::operator=(other);
    m_response = other.m_response;
    m_header = other.m_header;
    m_debug = other.m_debug;
    m_progressCallback = other.m_progressCallback;
    m_error = other.m_error;
    ReleaseHandle();
    m_curl = other.m_curl;
    m_curlOwner = other.m_curlOwner;
    m_lastCurlCode = other.m_lastCurlCode;
    m_secure = other.m_secure;
    std::memcpy(m_curlErrorBuffer, other.m_curlErrorBuffer, sizeof m_curlErrorBuffer);
    m_userPassword = other.m_userPassword;
    m_reuseConnections = other.m_reuseConnections;
    m_shares = other.m_shares;
    m_controls = other.m_controls;
    return *this;
}

// The protocol classes decide when a handle is released; what is left here is this object's
// hold on it, and the handles it prepared that copies still hold: they deliver into this
// object's buffers, so they are pointed nowhere before the buffers go.
CConnection::~CConnection() {
    ReleaseHandle();
    for (const auto& prepared : m_preparedHandles) {
        const std::shared_ptr<rkcurl::CurlHandleOwner> owner = prepared.lock();
        if (!owner || owner->preparedBy != this) continue;
        curl_easy_setopt(owner->handle, CURLOPT_WRITEDATA, static_cast<void*>(nullptr));
        curl_easy_setopt(owner->handle, CURLOPT_HEADERDATA, static_cast<void*>(nullptr));
        curl_easy_setopt(owner->handle, CURLOPT_ERRORBUFFER, static_cast<char*>(nullptr));
        owner->preparedBy = nullptr;
    }
}

int CConnection::SetSecure(int secure) {
    m_secure = secure;
    return 0;
}

int CConnection::SetDebug(int debug) {
    m_debug = debug;
    return 0;
}

int CConnection::GetDebug() {
    return m_debug;
}

int CConnection::SetProgressCallback(ProgressCallback callback) {
    m_progressCallback = callback;
    return 0;
}

int CConnection::SetReuseConnections(int reuse) {
    m_reuseConnections = reuse;
    if (reuse == 0) m_shares.reset();  // handles already attached keep the cache alive
    return 0;
}

int CConnection::GetResponse(char* buffer, std::size_t size, std::size_t& length) {
    length = m_response.size();
    if (size == 0) return 0;
    if (m_response.size() > size) return RKERR_BUFFER_TOO_SMALL;
    std::memcpy(buffer, m_response.data(), m_response.size());
    return 0;
}

int CConnection::ClearResponse() {
    std::string().swap(m_response);
    std::string().swap(m_header);
    return 0;
}

int CConnection::WriteStream(char* data, std::size_t size, std::size_t count, std::string* target) {
    if (target == nullptr) return 0;
    target->append(data, size * count);
    return static_cast<int>(size * count);
}

int CConnection::RecordFailure(int code, int extendedCode) {
    m_error.setErrorCD(static_cast<rkerr_e>(code), extendedCode);
    SetErrorString(m_error.m_code, m_error.m_extendedCode, m_error);
    return m_error.m_code;
}

rkcurl::CurlHandleOwner* rkcurl::ConnectionAccess::SharedCacheHandle(
    const CConnection& connection) {
    const std::shared_ptr<CurlHandleOwner>& owner = connection.m_curlOwner;
    return owner && owner->share ? owner.get() : nullptr;
}

void CConnection::ReleaseHandle() {
    if (m_curlOwner && m_curlOwner.use_count() > 1 && m_curlOwner->preparedBy == this) {
        m_preparedHandles.push_back(m_curlOwner);  // a copy goes on using it
    } else if (m_curlOwner && m_reuseConnections != 0) {
        m_spareHandle = std::move(m_curlOwner);  // only this object held it
    }
    m_curlOwner.reset();
    m_curl = nullptr;
}

// With connection reuse on, the object's last handle is reset and prepared again instead of
// being replaced: a fresh handle costs every request a new internal poll set of libcurl (a
// socket pair and a dozen system calls), which is most of what a small request on a reused
// connection costs. Reset leaves nothing of the previous request's options behind.
void CConnection::AdoptFreshOrSpareHandle() {
    ReleaseHandle();
    m_preparedHandles.erase(
        std::remove_if(m_preparedHandles.begin(), m_preparedHandles.end(),
                       [](const std::weak_ptr<rkcurl::CurlHandleOwner>& h) { return h.expired(); }),
        m_preparedHandles.end());
    if (m_reuseConnections != 0 && m_spareHandle) {
        m_curlOwner = std::move(m_spareHandle);
        curl_easy_reset(m_curlOwner->handle);
        m_curlOwner->preparedBy = this;
        m_curl = m_curlOwner->handle;
        return;
    }
    m_spareHandle.reset();
    CURL* const handle = curl_easy_init();
    if (handle == nullptr) return;
    m_curlOwner = std::make_shared<rkcurl::CurlHandleOwner>(handle, this);
    m_curl = handle;
}
