// Text from a server shown on a terminal. A name may hold control characters: escape
// sequences that retitle the window, clear the screen or hide what follows. Shown on a
// terminal, they are escaped as `ls -b` does, so what arrives is seen, never obeyed.
#pragma once

#include <string>

namespace rktool {

// text with every control character escaped: "\a" "\b" "\t" "\n" "\v" "\f" "\r" for those,
// three octal digits for the other bytes below 0x20 and DEL ("\033", "\177"), the two bytes of
// a C1 control character in UTF-8 (U+0080 to U+009F) as "\302\2NN", and "\" itself as "\\"
// so that an escape is never ambiguous. Everything else, UTF-8 letters included, stays.
std::string EscapeControls(const std::string& text);

// Whether the file descriptor is a terminal.
bool IsTerminal(int fd);

}  // namespace rktool
