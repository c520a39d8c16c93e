// CConnection: construction, copying, the host's options and reads, the response sink, and the
// ownership of the easy handle.
#include "RKCurl/CConnection.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

#include "connection/ConnectionAccess.h"
#include "connection/ConnectionState.h"
#include "foundation/PathRules.h"
#include "foundation/WideText.h"

using oru::shared::error::RKERR_BUFFER_TOO_SMALL;

CConnection::CConnection() = default;
CConnection::CConnection(const CConnection& other) = default;
CConnection& CConnection::operator=(const CConnection& other) = default;
CConnection::~CConnection() = default;

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

const oru::shared::error::CRKError& CConnection::GetError() const {
    return m_error;
}

const std::string& CConnection::GetHeaderText() const {
    return m_header;
}

long CConnection::GetLastResponseCode() const {
    return m_state->lastResponseCode;
}

int CConnection::SetReuseConnections(int reuse) {
    m_state->reuseConnections = reuse;
    if (reuse == 0) m_state->shares.reset();  // handles already attached keep the cache alive
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

std::string CConnection::Normalize(const std::string& path) const {
    return rkcurl::path::Normalize(path);
}

std::string CConnection::ConcatenateURL(const std::string& base, const std::string& path) const {
    return rkcurl::path::Concatenate(base, path);
}

std::string CConnection::GetPathName() const {
    const std::size_t first = m_href.find('/');
    if (first == std::string::npos) return std::string();
    const std::size_t second =
        first + 2 < m_href.size() ? m_href.find('/', first + 2) : std::string::npos;
    if (second == std::string::npos) return "/";
    return m_href.substr(second);
}

namespace rkcurl {

void ReleaseHandle(CConnection& connection) {
    ConnectionAccess::State(connection).ReleaseHandle();
    ConnectionAccess::Handle(connection) = nullptr;
}

}  // namespace rkcurl
