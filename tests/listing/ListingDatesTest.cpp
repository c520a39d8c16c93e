#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>

#include "ListingTestSupport.h"
#include "ftp/listing/ListingDates.h"

namespace {

using namespace listingtest;
using namespace rklisting;

// Dates that do not exist count on from the month's start (Feb 29 of common years gives an
// earlier leap day). Then every day of the 32-bit range: its seconds, and the current year taken
// at its first and last second, the two 32-bit limits included.
TEST(ListingDates, DateToSecondsAndTheCurrentYear) {
    const std::tuple<int, int, int, std::int64_t> cases[] = {
        {2026, 3, 31, Utc(2026, 5, 1)},    {2026, 12, 1, Utc(2027, 1, 1)},
        {2026, -1, 15, Utc(2025, 12, 15)}, {2025, 1, 29, Utc(2024, 2, 29)},
        {2023, 1, 29, Utc(2020, 2, 29)},   {2026, 2, 0, Utc(2026, 3, 1)},
        {2026, 3, 0, Utc(2026, 3, 31)}};
    for (const auto& [year, month, day, expected] : cases) {
        EXPECT_EQ(DateToSeconds(year, month, day), expected) << year << " " << month << " " << day;
    }
    for (std::int64_t midnight = Utc(1901, 12, 13); midnight <= INT32_MAX; midnight += 86400) {
        int year = 0, month = 0, day = 0;
        rkplatform::CivilFromDays(midnight / 86400, year, month, day);
        if (midnight >= INT32_MIN) {
            ASSERT_EQ(DateToSeconds(year, month - 1, day), midnight) << Reading(midnight);
        }
        for (const std::int64_t t : {std::max<std::int64_t>(midnight, INT32_MIN),
                                     std::min<std::int64_t>(midnight + 86399, INT32_MAX)}) {
            FixedClock clock(t);
            UpdateNow();
            ASSERT_EQ(s_currentYear, year) << Reading(t);
            ASSERT_EQ(s_now, t);
        }
    }
}

// Dates of lines without a year (see the listing lines for the 350-day rule) in a running
// process that crosses the New Year: the current year stays as its first call found it.
TEST(GuessDateSeconds, KeepsTheFirstCurrentYearAcrossTheNewYear) {
    const auto guess = [](int month, int day) { return Reading(GuessDateSeconds(month - 1, day)); };
    FixedClock clock(Utc(2026, 12, 31, 23, 59));
    EXPECT_EQ(guess(12, 31), "2026-12-31 00:00");
    clock.MoveTo(Utc(2027, 1, 1, 0, 1));
    EXPECT_EQ(guess(1, 1) + ", " + guess(12, 31), "2027-01-01 00:00, 2026-12-31 00:00");
    clock.MoveTo(Utc(2027, 6, 1));
    EXPECT_EQ(guess(12, 1) + ", " + guess(6, 5), "2026-12-01 00:00, 2027-06-05 00:00");
    EXPECT_EQ(s_currentYear, 2026);
    EXPECT_EQ(s_now, Utc(2027, 6, 1));  // refreshed by every guess
}

}  // namespace
