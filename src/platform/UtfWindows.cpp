// UTF-8 <-> UTF-16 through the system's conversions, code page UTF-8 with no flags: malformed
// input is replaced by U+FFFD, never refused. Both read their input up to its first zero unit.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <memory>

#include "platform/Utf.h"

static_assert(sizeof(wchar_t) == 2, "Windows wide text is UTF-16");

namespace rkplatform {

std::wstring Utf8ToWide(const char* text, std::size_t length) {
    // The input, cut at its first zero byte and terminated, so the system call reads it with
    // length -1 and converts the terminator too.
    const std::string input(text, strnlen(text, length));
    // UTF-16 never needs more units than UTF-8 has bytes.
    const std::size_t capacity = input.size() + 1;
    std::unique_ptr<wchar_t[]> block(new wchar_t[capacity]);
    const int written =
        MultiByteToWideChar(CP_UTF8, 0, input.c_str(), -1, block.get(), static_cast<int>(capacity));
    if (written <= 0) return std::wstring();
    return std::wstring(block.get());
}

std::string WideToUtf8(const wchar_t* text, std::size_t length) {
    const std::wstring input(text, wcsnlen(text, length));
    // Up to three bytes for each UTF-16 unit (a surrogate pair takes four for two), plus the
    // terminator.
    const std::size_t capacity = input.size() * 3 + 1;
    std::unique_ptr<char[]> block(new char[capacity]);
    const int written = WideCharToMultiByte(CP_UTF8, 0, input.c_str(), -1, block.get(),
                                            static_cast<int>(capacity), nullptr, nullptr);
    if (written <= 0) return std::string();
    return std::string(block.get());
}

}  // namespace rkplatform
