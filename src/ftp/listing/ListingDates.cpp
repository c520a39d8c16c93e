#include "ftp/listing/ListingDates.h"

#include <ctime>

#include "ftp/listing/Wrap32.h"
#include "platform/CRuntime.h"

namespace rklisting {

using wrap32::Add;
using wrap32::Mul;
using wrap32::Sub;

std::atomic<int> s_needTimeBase{1};
std::atomic<int> s_needCurrentYear{1};
std::atomic<std::int64_t> s_timeBase{0};
std::atomic<std::int32_t> s_now{0};
std::atomic<std::int32_t> s_currentYear{0};
constexpr char s_monthNames[12][4] = {"jan", "feb", "mar", "apr", "may", "jun",
                                      "jul", "aug", "sep", "oct", "nov", "dec"};

namespace {

constexpr std::int32_t kSecondsPerDay = 86400;
// Day number of 2000-03-01, the start of a 400-year cycle, counted from 1970-01-01.
constexpr std::int32_t kDaysTo20000301 = 11017;
constexpr std::int32_t kDaysPer400Years = 146097;
constexpr std::int32_t kDaysPer100Years = 36524;
constexpr std::int32_t kDaysPer4Years = 1461;
// A dated line is taken in the past while it lies less than this before now.
constexpr std::int32_t kGuessWindow = 350 * kSecondsPerDay;

// The three letters of a month name as one little-endian number.
constexpr std::uint32_t MonthKey(int k) {
    return static_cast<std::uint32_t>(s_monthNames[k][0]) |
           static_cast<std::uint32_t>(s_monthNames[k][1]) << 8 |
           static_cast<std::uint32_t>(s_monthNames[k][2]) << 16;
}

// The twelve keys fall into twelve different slots of sixteen under this hash, so a name is
// found with one table look-up and one comparison instead of a walk through the months.
constexpr int MonthSlot(std::uint32_t key) {
    return static_cast<int>((key * 26596u) >> 28);
}

struct MonthTable {
    signed char month[16];  // month index, or -1 for a slot that no month uses
};

constexpr MonthTable MakeMonthTable() {
    MonthTable table{};
    for (signed char& slot : table.month) slot = -1;
    for (int k = 0; k < 12; ++k) table.month[MonthSlot(MonthKey(k))] = static_cast<signed char>(k);
    return table;
}

constexpr MonthTable kMonthTable = MakeMonthTable();

constexpr bool AllMonthsHaveTheirOwnSlot() {
    for (int k = 0; k < 12; ++k) {
        if (kMonthTable.month[MonthSlot(MonthKey(k))] != k) return false;
    }
    return true;
}
static_assert(AllMonthsHaveTheirOwnSlot(), "two month names share a hash slot");

std::int64_t ReadRuntimeClock() {
    return _time64(nullptr);
}

// UTC calendar year of an instant, by counting days back from 2000-03-01: the inverse of
// DateToSeconds, exact for every 32-bit value.
std::int32_t YearOfSeconds(std::int32_t seconds) {
    std::int32_t day = seconds / kSecondsPerDay;
    if (seconds % kSecondsPerDay < 0) --day;
    day -= kDaysTo20000301;
    std::int32_t cycles = day / kDaysPer400Years;
    std::int32_t d = day % kDaysPer400Years;
    if (d < 0) {
        --cycles;
        d += kDaysPer400Years;
    }
    std::int32_t centuries = d / kDaysPer100Years;
    if (centuries == 4) centuries = 3;  // the leap day that closes the cycle
    d -= centuries * kDaysPer100Years;
    const std::int32_t quadrennia = d / kDaysPer4Years;
    d -= quadrennia * kDaysPer4Years;
    std::int32_t years = d / 365;
    if (years == 4) years = 3;  // the leap day that closes the quadrennium
    d -= years * 365;
    std::int32_t year = 2000 + 400 * cycles + 100 * centuries + 4 * quadrennia + years;
    // The March-based year ends with January and February, which belong to the next one.
    if ((10 * d + 5) / 306 >= 10) ++year;
    return year;
}

}  // namespace

ListingClockFn ListingClock = ReadRuntimeClock;

int MonthFromName(const char* text, int length) {
    if (length != 3) return -1;
    // A byte matches a lower-case table letter when it is that letter or its upper-case form,
    // which is exactly (byte | 0x20) == letter; bytes above 127 never match. So the three
    // bytes fold into one key.
    const auto fold = [](char c) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(c) | 0x20u);
    };
    const std::uint32_t key = fold(text[0]) | fold(text[1]) << 8 | fold(text[2]) << 16;
    const int month = kMonthTable.month[MonthSlot(key)];
    return month >= 0 && MonthKey(month) == key ? month : -1;
}

std::int32_t DateToSeconds(int year, int month, int day) {
    // Count from March, so that the leap day is the last day of a year.
    std::int32_t m;
    std::int32_t y;
    if (month >= 2) {
        m = Sub(month, 2);
        y = year;
    } else {
        m = Add(month, 10);
        y = Sub(year, 1);
    }
    std::int32_t d = Sub(Add(Mul(306, m), Mul(10, day)), 5) / 10;
    if (d == 365) {
        y = Sub(y, 3);
        d = 1460;
    } else {
        d = Add(d, Mul(365, y % 4));
    }
    const std::int32_t q = y / 4;
    d = Add(d, Mul(kDaysPer4Years, q % 25));
    y = q / 25;
    if (d == kDaysPer100Years) {
        y = Sub(y, 3);
        d = kDaysPer400Years - 1;
    } else {
        d = Add(d, Mul(kDaysPer100Years, y % 4));
    }
    y = y / 4;
    const std::int32_t dayNumber = Add(Add(d, Mul(kDaysPer400Years, Sub(y, 5))), kDaysTo20000301);
    return Mul(dayNumber, kSecondsPerDay);
}

void InitTimeBase() {
    if (s_needTimeBase.load(std::memory_order_acquire) == 0) return;
    std::int32_t base = 0;
    const __time64_t zero = 0;
    if (const std::tm* epoch = _gmtime64(&zero)) {
        std::int32_t seconds = DateToSeconds(epoch->tm_year + 1900, epoch->tm_mon, epoch->tm_mday);
        seconds = Add(seconds, Mul(epoch->tm_hour, 3600));
        seconds = Add(seconds, Mul(epoch->tm_min, 60));
        seconds = Add(seconds, epoch->tm_sec);
        base = Sub(0, seconds);
    }
    s_timeBase.store(base, std::memory_order_relaxed);
    s_needTimeBase.store(0, std::memory_order_release);
}

void UpdateNow() {
    InitTimeBase();
    const std::int64_t clock = ListingClock();
    const std::int64_t base = s_timeBase.load(std::memory_order_relaxed);
    const std::int32_t now = static_cast<std::int32_t>(static_cast<std::uint32_t>(clock) -
                                                       static_cast<std::uint32_t>(base));
    s_now.store(now, std::memory_order_relaxed);
    if (s_needCurrentYear.load(std::memory_order_acquire) == 1) {
        s_currentYear.store(YearOfSeconds(now), std::memory_order_relaxed);
        s_needCurrentYear.store(0, std::memory_order_release);
    }
}

std::int32_t GuessDateSeconds(int month, int day) {
    UpdateNow();
    const std::int32_t now = s_now.load(std::memory_order_relaxed);
    const std::int32_t currentYear = s_currentYear.load(std::memory_order_relaxed);
    std::int32_t t = 0;
    for (std::int32_t y = currentYear - 1; y <= currentYear + 99; ++y) {
        t = DateToSeconds(y, month, day);
        if (Sub(now, t) < kGuessWindow) return t;
    }
    return t;
}

}  // namespace rklisting
