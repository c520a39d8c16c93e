// Listing test helpers: a fixed "now", UTC readings of times, an entry as one line of text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "ftp/listing/ListLineParser.h"
#include "ftp/listing/ListingDates.h"
#include "platform/CivilCalendar.h"

namespace listingtest {

// Seconds of a UTC date (month 1..12), by the platform calendar, not the listing code's own.
inline std::int64_t Utc(int year, int month, int day, int hour = 0, int minute = 0) {
    return rkplatform::DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60;
}

// "YYYY-MM-DD HH:MM" (or with ":SS") of a time read as UTC.
inline std::string Reading(std::int64_t seconds, bool withSeconds = false) {
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const int rest = static_cast<int>(seconds - days * 86400);
    int year = 0, month = 0, day = 0;
    rkplatform::CivilFromDays(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, rest / 3600,
                  rest / 60 % 60, rest % 60);
    return std::string(text, withSeconds ? 19 : 16);
}

// An entry as "name|kind size time id". Kind: d directory, f file, l both, - neither. Size: "?"
// or the 64-bit count. Time: "-" or "clock", "date", "utc" and the reading. "!" marks an unknown
// size or time that is not 0, or 32 size bits that differ from the count.
inline std::string Describe(const rklisting::FtpListEntry& e) {
    using namespace rklisting;
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
    if (e.idKind == IdUnique) text += " id=" + std::string(e.id, e.idLength);
    return text;
}

// Fixes the listing clock while it lives; the next UpdateNow takes its year, as a first call.
class FixedClock {
public:
    explicit FixedClock(std::int64_t now) : previous_(rklisting::ListingClock) {
        s_fixedNow = now;
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
