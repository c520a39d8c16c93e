// Textual path rules on UTF-8 paths: no dot segments resolved, nothing merged.
#include "foundation/PathRules.h"

#include <algorithm>

namespace rkcurl {
namespace path {

std::string Normalize(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string Concatenate(const std::string& base, const std::string& path) {
    if (path.empty()) return base;
    if (path.front() == '/') return path;
    if (!base.empty() && base.back() == '/') return base + path;
    return base + "/" + path;
}

bool EnsureDirectorySlash(std::string& path) {
    if (!path.empty() && path.back() == '/') return false;
    path += '/';
    return true;
}

std::string JoinDirectory(const std::string& current, const std::string& path) {
    std::string directory = Concatenate(current, Normalize(path));
    EnsureDirectorySlash(directory);
    return directory;
}

std::string EncodeSegments(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const char c : path) {
        const unsigned char byte = static_cast<unsigned char>(c);
        const bool kept = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                          (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                          byte == '_' || byte == '~' || byte == '/';
        if (kept) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

}  // namespace path
}  // namespace rkcurl
