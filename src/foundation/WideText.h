// Null wide texts read as the empty text, wherever a host may hand in null.
#pragma once

namespace rkcurl {

inline const wchar_t* OrEmpty(const wchar_t* text) {
    return text != nullptr ? text : L"";
}

}  // namespace rkcurl
