#include "platform/CRuntime.h"

#include <cwchar>
#include <string>

#include "platform/Utf.h"

namespace {

// The Windows runtime refuses negative times and times after 3000-12-31T23:59:59 UTC.
constexpr __time64_t kLatestTime = 32535215999LL;

bool InRange(const __time64_t* t) {
    return t != nullptr && *t >= 0 && *t <= kLatestTime;
}

}  // namespace

__time64_t _time64(__time64_t* out) {
    const __time64_t now = static_cast<__time64_t>(std::time(nullptr));
    if (out != nullptr) *out = now;
    return now;
}

std::tm* _gmtime64(const __time64_t* t) {
    thread_local std::tm broken{};
    if (!InRange(t)) return nullptr;
    const std::time_t value = static_cast<std::time_t>(*t);
    return gmtime_r(&value, &broken) != nullptr ? &broken : nullptr;
}

std::tm* _localtime64(const __time64_t* t) {
    thread_local std::tm broken{};
    if (!InRange(t)) return nullptr;
    const std::time_t value = static_cast<std::time_t>(*t);
    return localtime_r(&value, &broken) != nullptr ? &broken : nullptr;
}

std::FILE* _wfopen(const wchar_t* path, const wchar_t* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    const std::string narrowPath = rkplatform::WideToUtf8(path, std::wcslen(path));
    const std::string narrowMode = rkplatform::WideToUtf8(mode, std::wcslen(mode));
    return std::fopen(narrowPath.c_str(), narrowMode.c_str());
}
