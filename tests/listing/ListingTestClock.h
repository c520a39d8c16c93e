// Test helpers for the listing clock: a fixed "now" and UTC readings of listing times.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "ftp/listing/ListingDates.h"

namespace listingtest {

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

// "YYYY-MM-DD HH:MM" of a time read as UTC, by the C library.
inline std::string Reading(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &tm);
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
