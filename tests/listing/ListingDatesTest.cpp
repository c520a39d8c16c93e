#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <ctime>

#include "ListingTestClock.h"
#include "ftp/listing/ListingDates.h"

namespace {

using listingtest::FixedClock;
using listingtest::Reading;
using listingtest::Utc;
using namespace rklisting;

// Dates, with the month zero-based as DateToSeconds takes it, against the instant expected.
struct DateCase {
    const char* what;
    int year, month, day;
    std::int64_t expected;
};

TEST(DateToSeconds, KnownValuesAndDatesThatDoNotExist) {
    const DateCase cases[] = {
        {"epoch", 1970, 0, 1, 0},
        {"2026-03-02", 2026, 2, 2, 1772409600},
        {"leap day 2000", 2000, 1, 29, 951782400},
        {"last exact day", 2038, 0, 19, 2147472000},
        {"first exact day", 1901, 11, 14, -2147472000},
        {"April 31 is May 1", 2026, 3, 31, Utc(2026, 5, 1)},
        {"January 32 is February 1", 2026, 0, 32, Utc(2026, 2, 1)},
        {"month 12 is next January", 2026, 12, 1, Utc(2027, 1, 1)},
        {"month -1 is last December", 2026, -1, 15, Utc(2025, 12, 15)},
        {"Feb 29 of 2025 is the 2024 leap day", 2025, 1, 29, Utc(2024, 2, 29)},
        {"Feb 29 of 2023 is the 2020 leap day", 2023, 1, 29, Utc(2020, 2, 29)},
        {"March 0 is March 1", 2026, 2, 0, Utc(2026, 3, 1)},
        {"April 0 is March 31", 2026, 3, 0, Utc(2026, 3, 31)},
    };
    for (const DateCase& c : cases) {
        EXPECT_EQ(DateToSeconds(c.year, c.month, c.day), c.expected) << c.what;
    }
}

TEST(DateToSeconds, AgreesWithTheCalendarOnEveryExactDay) {
    for (std::int64_t t = Utc(1901, 12, 14); t <= Utc(2038, 1, 19); t += 86400) {
        const std::time_t value = static_cast<std::time_t>(t);
        std::tm tm{};
        gmtime_r(&value, &tm);
        ASSERT_EQ(DateToSeconds(tm.tm_year + 1900, tm.tm_mon, tm.tm_mday), t) << Reading(t);
    }
}

TEST(MonthFromName, MatchesThreeBytesInAnyCase) {
    const struct {
        const char* text;
        int length;
        int expected;
    } cases[] = {
        {"jan", 3, 0},
        {"JAN", 3, 0},
        {"Jan", 3, 0},
        {"jAn", 3, 0},
        {"mAY", 3, 4},
        {"Dec", 3, 11},
        {"June", 4, -1},
        {"Ju", 2, -1},
        {"jan", 2, -1},
        {"", 0, -1},
        {"j@n", 3, -1},
        {"JaN ", 3, 0},
        {"\xEA"
         "an",
         3, -1},
        {"13,", 3, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MonthFromName(c.text, c.length), c.expected) << '"' << c.text << '"';
    }
}

TEST(UpdateNow, CurrentYearIsTheUtcYearOfEveryDayInRange) {
    // Both ends of every day, the two 32-bit limits included.
    const std::int64_t first = INT32_MIN;
    for (std::int64_t day = first - first % 86400 - 86400; day <= INT32_MAX; day += 86400) {
        for (const std::int64_t t : {day, day + 86399}) {
            if (t < INT32_MIN || t > INT32_MAX) continue;
            FixedClock clock(t);
            UpdateNow();
            const std::time_t value = static_cast<std::time_t>(t);
            std::tm tm{};
            gmtime_r(&value, &tm);
            ASSERT_EQ(s_currentYear, tm.tm_year + 1900) << Reading(t);
            ASSERT_EQ(s_now, t);
        }
    }
}

TEST(UpdateNow, ProductionClockIsTheRuntimeClock) {
    s_needCurrentYear = 1;
    UpdateNow();
    EXPECT_EQ(s_timeBase, 0);
    EXPECT_NEAR(static_cast<double>(s_now), static_cast<double>(std::time(nullptr)), 5.0);
}

// Month (1..12) and day of a line without a year, at a given now, against the date chosen.
struct GuessCase {
    int month, day;
    const char* expected;
};

void ExpectGuesses(std::int64_t now, std::initializer_list<GuessCase> cases) {
    for (const GuessCase& c : cases) {
        EXPECT_EQ(Reading(GuessDateSeconds(c.month - 1, c.day)), c.expected)
            << "now " << Reading(now) << ", month " << c.month << " day " << c.day;
    }
}

TEST(GuessDateSeconds, PlacesDatesByTheThreeHundredFiftyDayRule) {
    const std::int64_t now = Utc(2026, 12, 4, 12);
    FixedClock clock(now);
    ExpectGuesses(now, {
                           {12, 10, "2026-12-10 00:00"},
                           {12, 19, "2026-12-19 00:00"},  // 2025-12-19 is 350.5 days back
                           {12, 20, "2025-12-20 00:00"},  // 349.5 days back
                           {1, 10, "2026-01-10 00:00"},
                           {7, 1, "2026-07-01 00:00"},
                           {12, 4, "2026-12-04 00:00"},
                       });
}

TEST(GuessDateSeconds, RunningProcessCrossesTheNewYear) {
    FixedClock clock(Utc(2026, 12, 31, 23, 59));
    ExpectGuesses(Utc(2026, 12, 31, 23, 59), {{12, 31, "2026-12-31 00:00"}});

    const std::int64_t newYear = Utc(2027, 1, 1, 0, 1);
    clock.MoveTo(newYear);
    ExpectGuesses(newYear, {{1, 1, "2027-01-01 00:00"}, {12, 31, "2026-12-31 00:00"}});

    const std::int64_t summer = Utc(2027, 6, 1);
    clock.MoveTo(summer);
    ExpectGuesses(summer, {{12, 1, "2026-12-01 00:00"}, {6, 5, "2027-06-05 00:00"}});
    EXPECT_EQ(s_currentYear, 2026);  // fixed by the first call of the process
    EXPECT_EQ(s_now, summer);        // refreshed by every guess
}

}  // namespace
