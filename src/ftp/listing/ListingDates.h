// Calendar arithmetic for FTP listing dates, and the small clock state behind it.
//
// Everything lives in namespace rklisting. Dates become seconds through our own day-count
// formula in signed 32-bit arithmetic (dates from 1901-12-14 to 2038-01-19 are exact); the
// platform is asked only for the current time and for the UTC breakdown of time value 0.
// Months are zero-based (0 = January), days one-based.
//
// Threading: the state below is process-wide and shared by every thread, with no lock. The
// once-flags drop to 0 at first use and never rise again; two threads that arrive before
// that compute the same values twice. The values are atomics only so that concurrent
// listings are not a data race; readers may see a value one call old.
#pragma once

#include <atomic>
#include <cstdint>

namespace rklisting {

// 1 while InitTimeBase still has to run.
extern std::atomic<int> s_needTimeBase;
// 1 while the current year still has to be computed. Test seam: tests set it back to 1 to
// make the next UpdateNow take the year of a clock they fixed.
extern std::atomic<int> s_needCurrentYear;
// Offset added to every listing time; 0 where the C runtime counts seconds since
// 1970-01-01T00:00:00 UTC.
extern std::atomic<std::int64_t> s_timeBase;
// The current time in seconds since 1970-01-01T00:00:00 UTC, refreshed by every UpdateNow.
extern std::atomic<std::int32_t> s_now;
// The UTC calendar year of s_now, fixed by the first UpdateNow of the process.
extern std::atomic<std::int32_t> s_currentYear;
// Month names in lower case, index 0 = January.
extern const char s_monthNames[12][4];

// Source of the current time in seconds since 1970-01-01T00:00:00 UTC. Production reads the
// C runtime's _time64. Test seam: tests point it at a function that returns a fixed instant.
using ListingClockFn = std::int64_t (*)();
extern ListingClockFn ListingClock;

// Month index 0..11 of a three-byte month name in any mix of cases, or -1.
int MonthFromName(const char* text, int length);

// Seconds from 1970-01-01T00:00:00 to 00:00 of the date, counted as UTC, wrapped to 32 bits.
// Dates that do not exist still give a value (April 31 is May 1, month 12 is January of the
// next year); February 29 of a common year gives the leap day of an earlier year.
std::int32_t DateToSeconds(int year, int month, int day);

// Sets s_timeBase, once per process.
void InitTimeBase();

// Refreshes s_now from ListingClock; the first call of the process also sets s_currentYear.
void UpdateNow();

// DateToSeconds of the month and day in the earliest year, from the year before the current
// one on, whose instance of the date lies less than 350 days before now. For listing lines
// that show a time of day instead of a year.
std::int32_t GuessDateSeconds(int month, int day);

}  // namespace rklisting
