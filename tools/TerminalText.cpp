#include "TerminalText.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>

namespace rktool {
namespace {

void Octal(std::string& out, unsigned char byte) {
    char text[5];
    std::snprintf(text, sizeof text, "\\%03o", byte);
    out += text;
}

}  // namespace

std::string EscapeControls(const std::string& text) {
    static const char kLetters[] = "abtnvfr";  // for bytes 7 to 13
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte >= 7 && byte <= 13) {
            out += '\\';
            out += kLetters[byte - 7];
        } else if (byte < 0x20 || byte == 0x7f) {
            Octal(out, byte);
        } else if (byte == 0xc2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
            Octal(out, byte);
            Octal(out, static_cast<unsigned char>(text[++i]));
        } else {
            out += text[i];
        }
    }
    return out;
}

bool IsTerminal(int fd) {
#if defined(_WIN32)
    return _isatty(fd) != 0;
#else
    return isatty(fd) != 0;
#endif
}

}  // namespace rktool
