// UTF-8 <-> wide text, never failing.
//
// Wide text is the platform's wchar_t encoding (UTF-32 here). Malformed UTF-8 becomes U+FFFD,
// one per maximal ill-formed subpart; a surrogate value or a value beyond U+10FFFF in wide
// text becomes U+FFFD as well. Both read their input up to its first zero unit.
#pragma once

#include <string>

namespace rkplatform {

std::wstring Utf8ToWide(const char* text, std::size_t length);
std::string WideToUtf8(const wchar_t* text, std::size_t length);

}  // namespace rkplatform
