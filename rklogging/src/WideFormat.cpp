// Wide printf with the Windows conventions that RKCurl's formats are written in.
//
// On Windows, in a wide format, %s and %c take wide arguments and %S and %C narrow ones; glibc
// reads %s as narrow. The format is rewritten so that each argument is read as what it is.
#include <cstdarg>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "Dispatch.h"
#include "rkcommon/Utf8Append.h"

namespace LOGGER {
namespace detail {
namespace {

bool IsFlag(wchar_t c) {
    return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'0';
}
bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

std::wstring ToGlibcFormat(const wchar_t* format) {
    std::wstring out;
    for (const wchar_t* p = format; *p != 0;) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        out += *p++;
        if (*p == L'%') {
            out += *p++;
            continue;
        }
        while (IsFlag(*p)) out += *p++;
        while (IsDigit(*p) || *p == L'*') out += *p++;
        if (*p == L'.') {
            out += *p++;
            while (IsDigit(*p) || *p == L'*') out += *p++;
        }
        // Length modifiers, with the Windows I64/I32/I/w forms mapped to C ones.
        std::wstring length;
        for (;;) {
            if (*p == L'h' || *p == L'l' || *p == L'L' || *p == L'z' || *p == L'j' || *p == L't') {
                length += *p++;
            } else if (*p == L'w') {
                length += L'l';
                ++p;
            } else if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
                length += L"ll";
                p += 3;
            } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
                p += 3;
            } else if (*p == L'I') {
                length += L'z';
                ++p;
            } else {
                break;
            }
        }
        const wchar_t conversion = *p;
        if (conversion == 0) break;
        ++p;
        const bool narrowWanted = length == L"h";
        if (conversion == L's' || conversion == L'c') {
            out += narrowWanted ? L"" : L"l";
            out += conversion;
        } else if (conversion == L'S' || conversion == L'C') {
            out += length == L"l" ? L"l" : L"";
            out += static_cast<wchar_t>(conversion + (L'a' - L'A'));
        } else {
            out += length;
            out += conversion;
        }
    }
    return out;
}

}  // namespace

std::string FormatWide(const wchar_t* format, va_list args) {
    const std::wstring glibcFormat = ToGlibcFormat(format);
    // A short buffer makes vswprintf fail (glibc, msvcrt) or report the length it needed
    // (mingw-w64's C99 printf), so grow until the text fits.
    std::vector<wchar_t> buffer(256);
    int written = -1;
    while (buffer.size() <= (1u << 20)) {
        va_list copy;
        va_copy(copy, args);
        written = std::vswprintf(buffer.data(), buffer.size(), glibcFormat.c_str(), copy);
        va_end(copy);
        if (written >= 0 && static_cast<std::size_t>(written) < buffer.size()) break;
        const std::size_t needed = written >= 0 ? static_cast<std::size_t>(written) + 1 : 0;
        buffer.resize(needed > buffer.size() ? needed : buffer.size() * 4);
        written = -1;
    }
    std::string text;
    for (int i = 0; i < written; ++i) {
        std::uint32_t unit = static_cast<std::uint32_t>(buffer[i]);
        // UTF-16 wide text (Windows): a surrogate pair is one character.
        if (sizeof(wchar_t) == 2 && unit >= 0xD800 && unit <= 0xDBFF && i + 1 < written) {
            const std::uint32_t low = static_cast<std::uint32_t>(buffer[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        rkcommon::AppendUtf8(text, unit);
    }
    return text;
}

}  // namespace detail
}  // namespace LOGGER
