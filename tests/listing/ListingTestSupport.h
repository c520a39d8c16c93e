// Test helpers for the listing parsers: a fixed "now", UTC readings of listing times and an
// entry as one line of text.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "ftp/listing/ListLineParser.h"
#include "ftp/listing/ListingDates.h"
#include "platform/CivilCalendar.h"

namespace listingtest {

#if defined(_WIN32)
// The Windows C runtime has no timegm and refuses times before 1970: the platform layer's
// calendar, for the two readings below (fields in range, as they use them).
inline std::time_t timegm(std::tm* tm) {
    const std::int64_t days =
        rkplatform::DaysFromCivil(tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday);
    return static_cast<std::time_t>(days * 86400 + tm->tm_hour * 3600 + tm->tm_min * 60 +
                                    tm->tm_sec);
}
inline std::tm* gmtime_r(const std::time_t* t, std::tm* out) {
    const std::int64_t seconds = static_cast<std::int64_t>(*t);
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const std::int64_t rest = seconds - days * 86400;
    int year = 0, month = 0, day = 0;
    rkplatform::CivilFromDays(days, year, month, day);
    *out = std::tm{};
    out->tm_mday = day;
    out->tm_mon = month - 1;
    out->tm_year = year - 1900;
    out->tm_hour = static_cast<int>(rest / 3600);
    out->tm_min = static_cast<int>(rest / 60 % 60);
    out->tm_sec = static_cast<int>(rest % 60);
    return out;
}
#endif

// Seconds of a UTC calendar reading (month 1..12), by the C library, not the code under test.
inline std::int64_t Utc(int year, int month, int day, int hour = 0, int minute = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    return static_cast<std::int64_t>(timegm(&tm));
}

// "YYYY-MM-DD HH:MM" (or with ":SS") of a time read as UTC, by the C library.
inline std::string Reading(std::int64_t seconds, bool withSeconds = false) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, withSeconds ? "%Y-%m-%d %H:%M:%S" : "%Y-%m-%d %H:%M", &tm);
    return text;
}

// An entry as "name|kind size time id", its name and id checked to lie in the line. Kind: d
// directory, f file, l both, - neither. Size: "?" unknown, else the 64-bit count. Time: "-"
// unknown, else "clock", "date" or "utc" and the reading. A field that breaks the entry's own
// rules (an unknown size or time that is not 0, 32 bits that differ from the count) shows "!".
inline std::string Describe(const rklisting::FtpListEntry& e, const std::vector<char>& line) {
    using namespace rklisting;
    const auto inLine = [&](const char* p, int n) {
        return p >= line.data() && n >= 0 && p + n <= line.data() + line.size();
    };
    if (!inLine(e.name, e.nameLength)) return "name outside the line";
    std::string text = std::string(e.name, e.nameLength) + "|";
    text += e.mayBeDirectory ? (e.mayBeFile ? "l " : "d ") : (e.mayBeFile ? "f " : "- ");
    text += e.sizeKind == SizeBytes ? std::to_string(e.size64) : "?";
    if (static_cast<std::uint32_t>(e.size) != static_cast<std::uint32_t>(e.size64) ||
        (e.sizeKind != SizeBytes && e.size64 != 0)) {
        text += "!";
    }
    const char* kinds[] = {"-", "utc ", "clock ", "date "};
    text += std::string(" ") + kinds[e.timeKind];
    if (e.timeKind == TimeAbsolute) text += Reading(e.time - s_timeBase.load(), true);
    if (e.timeKind == TimeServerClock || e.timeKind == TimeServerDate) text += Reading(e.time);
    if (e.timeKind == TimeUnknown && e.time != 0) text += "!";
    if (e.idKind == IdUnique) {
        if (!inLine(e.id, e.idLength)) return "id outside the line";
        text += " id=" + std::string(e.id, e.idLength);
    }
    return text;
}

// Fixes the listing clock while it lives; the next UpdateNow takes its year, as a first call.
class FixedClock {
public:
    explicit FixedClock(std::int64_t now) {
        s_fixedNow = now;
        previous_ = rklisting::ListingClock;
        rklisting::ListingClock = [] { return s_fixedNow; };
        rklisting::s_needCurrentYear = 1;
    }
    ~FixedClock() {
        rklisting::ListingClock = previous_;
        rklisting::s_needCurrentYear = 1;
    }

    // Moves "now" as a running process sees it: the current year stays as first computed.
    void MoveTo(std::int64_t now) { s_fixedNow = now; }

private:
    static inline std::int64_t s_fixedNow = 0;
    rklisting::ListingClockFn previous_;
};

}  // namespace listingtest
