// SystemTimeToFileTime and its inverse, for platforms without the Windows calls.
#include <cstdint>

#include "RKCurl/WindowsTypes.h"
#include "platform/CivilCalendar.h"
#include "platform/FileTimeEpoch.h"

namespace {

using rkplatform::CivilFromDays;
using rkplatform::DaysFromCivil;
using rkplatform::kDaysFrom1601To1970;
using rkplatform::kTicksPerSecond;

constexpr std::int64_t kTicksPerDay = kTicksPerSecond * 86400;

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

}  // namespace

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
    if (st == nullptr || ft == nullptr) return 0;
    if (st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 || st->wMonth > 12 ||
        st->wDay < 1 || st->wDay > DaysInMonth(st->wYear, st->wMonth) || st->wHour > 23 ||
        st->wMinute > 59 || st->wSecond > 59 || st->wMilliseconds > 999) {
        return 0;
    }
    const std::int64_t days = DaysFromCivil(st->wYear, st->wMonth, st->wDay) + kDaysFrom1601To1970;
    const std::int64_t seconds = st->wHour * 3600 + st->wMinute * 60 + st->wSecond;
    const std::uint64_t ticks = static_cast<std::uint64_t>(
        days * kTicksPerDay + seconds * kTicksPerSecond + st->wMilliseconds * 10000LL);
    ft->dwLowDateTime = static_cast<DWORD>(ticks);
    ft->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return 1;
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
    if (ft == nullptr || st == nullptr) return 0;
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(ft->dwHighDateTime) << 32) | ft->dwLowDateTime;
    if (ticks >> 63) return 0;
    const std::int64_t total = static_cast<std::int64_t>(ticks);
    const std::int64_t days = total / kTicksPerDay;
    const std::int64_t rest = total % kTicksPerDay;
    int year = 0, month = 0, day = 0;
    CivilFromDays(days - kDaysFrom1601To1970, year, month, day);
    st->wYear = static_cast<WORD>(year);
    st->wMonth = static_cast<WORD>(month);
    st->wDay = static_cast<WORD>(day);
    st->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
    st->wHour = static_cast<WORD>(rest / (3600 * kTicksPerSecond));
    st->wMinute = static_cast<WORD>(rest / (60 * kTicksPerSecond) % 60);
    st->wSecond = static_cast<WORD>(rest / kTicksPerSecond % 60);
    st->wMilliseconds = static_cast<WORD>(rest / 10000 % 1000);
    return 1;
}
