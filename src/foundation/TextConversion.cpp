#include "RKCurl/TextConversion.h"

#include "platform/Utf.h"

namespace oru {
namespace helper {

const std::wstring NarStrToWideStr(const std::string& text) {
    return rkplatform::Utf8ToWide(text.data(), text.size());
}

const std::string WideStrToNarStr(const std::wstring& text) {
    return rkplatform::WideToUtf8(text.data(), text.size());
}

}  // namespace helper
}  // namespace oru
