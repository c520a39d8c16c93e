// The conversions between UTF-8 and the platform's wide text (UTF-16 on Windows, UTF-32 here).
//
// Every narrow/wide step of the library goes through these two. They never fail: input is read
// up to its first zero unit, and malformed UTF-8 or an invalid wide value becomes U+FFFD.
#pragma once

#include <string>

#include "RKCurl/Export.h"

namespace oru {
namespace helper {

RKCURL_API const std::wstring NarStrToWideStr(const std::string& text);
RKCURL_API const std::string WideStrToNarStr(const std::wstring& text);

}  // namespace helper
}  // namespace oru
