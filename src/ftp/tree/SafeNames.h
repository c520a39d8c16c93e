// Which listed names a tree transfer may act on.
#pragma once

#include <string>

namespace rkcurl {
namespace ftp {

// True when name (UTF-8 bytes) can be a file name inside a local directory and nothing else:
// not empty, no "/", "\", CR, LF, NUL or ":"; with windowsRules also no "<", ">", '"', "|",
// "?", "*" or control character, no trailing dot or space, and no reserved device name (CON,
// PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension, in any case). The caller has
// already passed over "." and "..".
bool IsSafeLocalName(const std::string& name, bool windowsRules);
// The rules of this platform.
bool IsSafeLocalName(const std::string& name);

// True when name can be sent as one name in an FTP command: not empty, not "." or "..", no
// "/", "\", CR, LF or NUL.
bool IsSafeRemoteName(const std::string& name);

// "." or "..".
bool IsDotName(const std::string& name);

}  // namespace ftp
}  // namespace rkcurl
