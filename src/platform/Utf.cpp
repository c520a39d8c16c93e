#include "platform/Utf.h"

#include <cstdint>

#include "rkcommon/Utf8Append.h"

static_assert(sizeof(wchar_t) == 4, "this platform layer expects UTF-32 wide text");

namespace rkplatform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Well-formed UTF-8 lead bytes: how many continuation bytes follow, and the range allowed for
// the first of them (the later ones are always 80..BF).
struct LeadRule {
    int continuationBytes;
    unsigned char firstLow;
    unsigned char firstHigh;
};

bool RuleForLead(unsigned char lead, LeadRule& rule) {
    if (lead >= 0xC2 && lead <= 0xDF)
        rule = {1, 0x80, 0xBF};
    else if (lead == 0xE0)
        rule = {2, 0xA0, 0xBF};
    else if ((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF)
        rule = {2, 0x80, 0xBF};
    else if (lead == 0xED)
        rule = {2, 0x80, 0x9F};
    else if (lead == 0xF0)
        rule = {3, 0x90, 0xBF};
    else if (lead >= 0xF1 && lead <= 0xF3)
        rule = {3, 0x80, 0xBF};
    else if (lead == 0xF4)
        rule = {3, 0x80, 0x8F};
    else
        return false;
    return true;
}

}  // namespace

std::wstring Utf8ToWide(const char* text, std::size_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t end = 0;
    while (end < length && bytes[end] != 0) ++end;

    std::wstring out;
    out.reserve(end);
    std::size_t i = 0;
    while (i < end) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        LeadRule rule;
        if (!RuleForLead(lead, rule)) {
            out += static_cast<wchar_t>(kReplacement);
            ++i;
            continue;
        }
        char32_t cp = lead & (0x3F >> rule.continuationBytes);
        std::size_t j = i + 1;
        int taken = 0;
        for (; taken < rule.continuationBytes && j < end; ++taken, ++j) {
            const unsigned char c = bytes[j];
            const unsigned char low = taken == 0 ? rule.firstLow : 0x80;
            const unsigned char high = taken == 0 ? rule.firstHigh : 0xBF;
            if (c < low || c > high) break;
            cp = (cp << 6) | (c & 0x3F);
        }
        // A truncated sequence is one maximal ill-formed subpart: one replacement for all of it.
        out += static_cast<wchar_t>(taken == rule.continuationBytes ? cp : kReplacement);
        i = j;
    }
    return out;
}

std::string WideToUtf8(const wchar_t* text, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length && text[i] != 0; ++i) {
        rkcommon::AppendUtf8(out, static_cast<std::uint32_t>(text[i]));
    }
    return out;
}

}  // namespace rkplatform
