// Textual path rules on UTF-8 paths: no dot segments resolved, nothing merged or escaped.
#include <algorithm>

#include "RKCurl/CConnection.h"

std::string CConnection::Normalize(const std::string& path) const {
    std::string result = path;
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

std::string CConnection::ConcatenateURL(const std::string& base, const std::string& path) const {
    if (path.empty()) return base;
    if (path.front() == '/') return path;
    if (!base.empty() && base.back() == '/') return base + path;
    return base + "/" + path;
}

std::string CConnection::GetPathName() const {
    const std::size_t first = m_href.find('/');
    if (first == std::string::npos) return std::string();
    const std::size_t second = first + 2 < m_href.size() ? m_href.find('/', first + 2) : std::string::npos;
    if (second == std::string::npos) return "/";
    return m_href.substr(second);
}
