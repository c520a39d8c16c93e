// The hashes a server's checksum commands (HASH, XSHA256, XSHA1, XMD5, XCRC) give, computed
// over local files for comparison: small in-repo implementations, so the library needs no
// further dependency on any platform.
#pragma once

#include <string>

namespace rkcurl {
namespace ftp {

enum class HashKind { Sha256, Sha1, Md5, Crc32 };

// The hash of the whole file as lower-case hex; false when the file cannot be read.
bool HashFile(const std::wstring& path, HashKind kind, std::string& hex);

// The hash of data as lower-case hex (for the file hashing and its tests).
std::string HashBytes(const std::string& data, HashKind kind);

}  // namespace ftp
}  // namespace rkcurl
