#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ListingTestClock.h"
#include "ftp/listing/ListLineParser.h"

namespace {

using namespace listingtest;
using namespace rklisting;

// An accepted line and its entry. kind: 'd' directory, 'f' file, 'l' both, '-' neither; size:
// -1 for SizeUnknown, else the 32 bits as unsigned; time: the UTC reading, nullptr unchecked.
struct LineCase {
    std::string line;
    std::string name;
    char kind;
    std::int64_t size;
    ListTimeKind timeKind;
    const char* time;
    const char* id = nullptr;  // an EPLF id, nullptr for none
};

constexpr ListTimeKind kClock = TimeServerClock;
constexpr ListTimeKind kDate = TimeServerDate;

// The line in a buffer of its exact size (no zero after it): ASan reports reads past its end.
int Parse(FtpListEntry& e, const std::vector<char>& line) {
    return ParseListLine(e, line.data(), static_cast<int>(line.size()));
}

void Expect(std::initializer_list<LineCase> accepted,
            std::initializer_list<std::string> rejected = {}) {
    FixedClock clock(Utc(2026, 3, 15, 12));  // the "now" of every line
    for (const LineCase& c : accepted) {
        SCOPED_TRACE('"' + c.line + '"');
        const std::vector<char> line(c.line.begin(), c.line.end());
        FtpListEntry e{};
        ASSERT_EQ(Parse(e, line), 1);
        ASSERT_TRUE(e.name >= line.data() && e.name + e.nameLength <= line.data() + line.size());
        EXPECT_EQ(std::string(e.name, e.nameLength), c.name);
        EXPECT_EQ(e.mayBeDirectory, int{c.kind == 'd' || c.kind == 'l'});
        EXPECT_EQ(e.mayBeFile, int{c.kind == 'f' || c.kind == 'l'});
        EXPECT_EQ(e.sizeKind, c.size < 0 ? SizeUnknown : SizeBytes);
        EXPECT_EQ(static_cast<std::uint32_t>(e.size), c.size < 0 ? 0u : c.size);
        EXPECT_EQ(e.timeKind, c.timeKind);
        EXPECT_TRUE(c.time == nullptr || Reading(e.time) == c.time) << Reading(e.time);
        EXPECT_TRUE(c.timeKind != TimeUnknown || e.time == 0) << e.time;
        ASSERT_EQ(e.idKind, c.id == nullptr ? IdNone : IdUnique);
        ASSERT_TRUE(!c.id ||
                    (e.id >= line.data() && e.id + e.idLength <= line.data() + line.size()));
        EXPECT_EQ(c.id ? std::string(e.id, e.idLength) : "", c.id ? c.id : "");
    }
    for (const std::string& text : rejected) {
        FtpListEntry e{};
        EXPECT_EQ(Parse(e, std::vector<char>(text.begin(), text.end())), 0) << '"' << text << '"';
    }
}

TEST(ParseListLine, WorkedExamples) {
    Expect({{"-rw-r--r--   1 alice    staff        4821 Mar  2 09:15 notes.txt", "notes.txt", 'f',
             4821, kClock, "2026-03-02 09:15"},
            {"drwxr-xr-x   3 alice    staff        4096 Nov 30  2024 archive", "archive", 'd', 4096,
             kDate, "2024-11-30 00:00"},
            {"-rw-r--r--   1 alice    staff        4821 Mar 31 9:15 late.txt", "late.txt", 'f',
             4821, kClock, "2025-03-31 09:15"},
            {"lrwxrwxrwx   1 alice    staff          11 Jan  7 18:40 current -> releases/7",
             "current", 'l', 11, kClock, "2026-01-07 18:40"},
            {"crw-rw-rw-   1 root     sys      13,  12 Feb  3 10:00 null", "null", '-', 12, kClock,
             "2026-02-03 10:00"},
            {"drwxr-xr-x               folder        5 Oct  3  2019 Sources", "Sources", 'd', 5,
             kDate, "2019-10-03 00:00"},
            {"- [RWCEAFMS] bob                 2048     Sep 21 14:05    report.doc", "report.doc",
             'f', 2048, kClock, "2025-09-21 14:05"},
            {"-rw-r--r--   1 alice    staff        4821 Mar  2 09:15  old notes", " old notes", 'f',
             4821, kClock, "2026-03-02 09:15"},
            {"03-09-26  04:30PM       <DIR>          Old Reports", "Old Reports", 'd', -1, kClock,
             "2026-03-09 16:30"},
            {"12-31-99  12:05AM              1048576 backup.zip", "backup.zip", 'f', 1048576,
             kClock, "1999-12-31 00:05"},
            {"SETUP.COM;3           4  12-FEB-2026 08:07:55 [STAFF,ALICE] (RWED,RWED,RE,)",
             "SETUP.COM", 'f', -1, kClock, "2026-02-12 08:07"},
            {"LOGS.DIR;1            1  5-JAN-2026 17:20 [STAFF] (RWE,RWE,RE,RE)", "LOGS", 'd', -1,
             kClock, "2026-01-05 17:20"},
            {"+i9872342.32142,m1767225600,r,s2048,\treadme.txt", "readme.txt", 'f', 2048,
             TimeAbsolute, "2026-01-01 00:00", "9872342.32142"},
            {"+/,s10\tnodelim", "nodelim", 'd', -1, TimeUnknown, nullptr},
            {"+\t", "", '-', -1, TimeUnknown, nullptr},
            {"+,,x1,s4294967295,\t a b ", " a b ", '-', 4294967295, TimeUnknown, nullptr}},
           {"-rw-r--r--   1 alice    staff        4821 Mar  2 09:15",  // nothing after the time
            "total 1234", "README;1 1 1-Jan-2000 10:30", "+", "", "+/,r,s7,m0" /* no TAB */});
}

// Group missing: the last number before the month is still the size.
TEST(ParseListLine, UnixColumnsAndNames) {
    Expect(
        {{"-rw-r--r-- 1 ftp 4821 Mar 2 09:15 x", "x", 'f', 4821, kClock, "2026-03-02 09:15"},
         {"brw-rw---- 1 root disk 8, 1 MAR 2 2024 sda1", "sda1", '-', 1, kDate, "2024-03-02 00:00"},
         {"prw-r--r-- 1 a b 0 mAr 2 2024 fifo", "fifo", '-', 0, kDate, "2024-03-02 00:00"},
         {"srwxr-xr-x 1 a b 0 Mar 2 2024 sock", "sock", '-', 0, kDate, "2024-03-02 00:00"},
         // Sizes from 2^31 up fill all 32 bits.
         {"-rw-r--r-- 1 a 2147483648 Jan 1 2020 h", "h", 'f', 2147483648, kDate, nullptr},
         {"-rw-r--r-- 1 a 4294967295 Jan 1 2020 b", "b", 'f', 4294967295, kDate, nullptr},
         // A single space after the year: an empty name.
         {"-rw-r--r-- 1 a b 5 Mar 2 2024 ", "", 'f', 5, kDate, "2024-03-02 00:00"},
         // A colon at the wrong place: four bytes read as a year (':' counts as 10).
         {"-rw-r--r-- 1 a b 5 Mar 2 19:5 x", "x", 'f', 5, kDate, "2005-03-02 00:00"},
         // The arrow is cut from 'l' lines only, at its first spaced form.
         {"lrwxrwxrwx 1 a b 3 Mar 2 2024 a->b", "a->b", 'l', 3, kDate, "2024-03-02 00:00"},
         {"lrwxrwxrwx 1 a b 3 Mar 2 2024 a -> b -> c", "a", 'l', 3, kDate, "2024-03-02 00:00"},
         {"-rw-r--r-- 1 a b 3 Mar 2 2024 a -> b", "a -> b", 'f', 3, kDate, "2024-03-02 00:00"},
         // The three-space removal depends on the second byte only.
         {"-[RWCEAFMS] 1 bob 2048 Sep 21 14:05    x", "x", 'f', 2048, kClock, "2025-09-21 14:05"},
         {"-rw-r--r-- 1 a b 2048 Sep 21 14:05    x", "   x", 'f', 2048, kClock, "2025-09-21 14:05"},
         {"- [R] bob 1 Sep 21 14:05    ", "   ", 'f', 1, kClock, "2025-09-21 14:05"}},
        {"-rw-r--r-- 1 a b 5 Mar 2 924 x",  // time or year shorter than 4 bytes
         "-rw-r--r-- 1 a b 5 Mar 2 2024",   // no space after the year
         "-rw-r--r-- 1 a b 5 Mar", "Drwxr-xr-x 1 a b 5 Mar 2 2024 x" /* lower case types only */,
         "--", "d x", "-rw-r--r-- 1 a" /* shorter than one block of the scan */});
}

TEST(ParseListLine, VmsAndMsDosLines) {
    Expect({{"LOGS.dir;1 1 5-JAN-2026 17:20 x", "LOGS.dir", 'f', -1, kClock, "2026-01-05 17:20"},
            {".DIR;1 1 5-JAN-2026 17:20 x", ".DIR", 'f', -1, kClock, "2026-01-05 17:20"},
            {"X.DIR;1 1 5-jan-2026 17:20 x", "X", 'd', -1, kClock, "2026-01-05 17:20"},
            // A leading digit with a ';' anywhere is a VMS line, not MS-DOS.
            {"1999.TXT;2 8 31-DEC-1999 23:59 x", "1999.TXT", 'f', -1, kClock, "1999-12-31 23:59"},
            {"03-09-26  12:05PM 5 x", "x", 'f', 5, kClock, "2026-03-09 12:05"},
            {"03-09-26  01:00PM 5 x", "x", 'f', 5, kClock, "2026-03-09 13:00"},
            {"03-09-00  01:00AM 5 x", "x", 'f', 5, kClock, "2000-03-09 01:00"},
            {"03-09-37  01:00AM 5 x", "x", 'f', 5, kClock, "2037-03-09 01:00"},
            // 2049 is beyond 32-bit seconds: the date wraps by 2^32 seconds.
            {"03-09-49  01:00AM 5 x", "x", 'f', 5, kClock, "1913-01-31 18:31"},
            {"03-09-50  01:00AM 5 x", "x", 'f', 5, kClock, "1950-03-09 01:00"},
            {"03-09-2026  01:00AM 5 x", "x", 'f', 5, kClock, "2026-03-09 01:00"},
            {"00-15-26  10:00AM 5 x", "x", 'f', 5, kClock, "2025-12-15 10:00"},
            {"02-29-25  10:00AM 4294967295 leap  y ", "leap  y ", 'f', 4294967295, kClock,
             "2024-02-29 10:00"},
            {"03-09-26  04:30PM  <JUNCTION> a b", "a b", 'd', -1, kClock, "2026-03-09 16:30"},
            // 24-hour: the minutes run to the next 'A' or 'P' (the name's); "ics" is the size.
            {"03-09-26  16:30       <DIR>          Pics x", "x", 'f', 6277, kClock, nullptr}},
           {"03-09-26  16:30       <DIR>          Old Reports" /* no 'A' or 'P' after 16:30 */,
            "03-09-26  04:30PM 5", "03-09-26  04:30PM 5 ",
            "03-09-26  04:30PM  5 a;b" /* VMS by its ';', whose scans then fail */,
            "A.TXT;1 1 5-JUNE-2026 17:20 x", "A.TXT;1 1 5-JAN-2026", "03-09-26  04:30PM",
            "03-09-26  04:30P"});
}

// The scans take 16- and 64-byte blocks: fields are found wherever the block edges fall.
TEST(ParseListLine, FieldsAreFoundWhereverBlockEdgesFall) {
    const char *date = "2024-03-02 00:00", *clock = "2026-03-02 09:15";
    for (std::size_t pad = 1; pad <= 140; ++pad) {
        const std::string g(pad, ' '), n = "n" + std::string(pad % 70, 'x');  // gap, name
        Expect({{"-rw-r--r-- 1 a b" + g + "123 Mar 2 2024 " + n, n, 'f', 123, kDate, date},
                {"lrwxrwxrwx 1 a" + g + "b 9 Mar 2 09:15 " + n + " -> t", n, 'l', 9, kClock, clock},
                {"d" + g + "1 a b 7 mar" + g + "2 2024 " + n, n, 'd', 7, kDate, date},
                {"03-02-26" + g + "09:15AM" + g + "55" + g + n, n, 'f', 55, kClock, clock},
                {"03-02-26 09:15AM <DIR>" + g + n + g, n + g, 'd', -1, kClock, clock}},
               // The minute scan reaches the end of the line.
               {"A" + g + "B.DIR;1" + g + "1" + g + "2-MAR-2026" + g + "09:15"});
    }
}

TEST(ReadDecimal, SignedBytesAndWrapping) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"4821", 4821},
        {"007", 7},
        {"13,", 126} /* ',' counts as -4 */,
        {"\xFF", -49} /* a byte above 127 is negative */,
        {"2147483648", INT32_MIN},
        {"4294967295", -1},
        {"4294967296", 0},
        {"99999999999", 1215752191}};
    for (const auto& [field, expected] : cases) {
        EXPECT_EQ(ReadDecimal(field, static_cast<int>(std::strlen(field))), expected) << field;
    }
}

// size64 carries sizes of 2^32 and more in the three forms that give a size; below 2^32, and for
// a field that is not all digits, it is the 32-bit field read as unsigned.
TEST(ParseListLine, SixtyFourBitSizes) {
    constexpr std::uint64_t k5GiB = 5368709120;
    const std::pair<std::string, std::uint64_t> cases[] = {
        {"-rw-r--r-- 1 u g 5368709120 Mar  2 09:15 big.iso", k5GiB},
        {"03-02-26  09:15AM           5368709120 big.iso", k5GiB},
        {"+s5368709120,r,\tbig.iso", k5GiB},
        {"-rw-r--r-- 1 u g 18446744073709551615 Mar  2 09:15 max", UINT64_MAX},
        {"-rw-r--r-- 1 u g 4294967295 Mar  2 09:15 below", 4294967295u},
        {"-rw-r--r-- 1 u g 4294967296 Mar  2 09:15 first", 4294967296u},
        {"-rw-r--r-- 1 u g 18446744073709551616 Mar  2 09:15 over", 0u},  // 32-bit rule
        {"-rw-r--r-- 1 u g 1x Mar  2 09:15 odd", static_cast<std::uint32_t>(ReadDecimal("1x", 2))},
        {"SETUP.COM;3  5368709120  12-FEB-2026 08:07:55", 0u},  // VMS sizes are not read
    };
    FixedClock clock(Utc(2026, 3, 15, 12));
    for (const auto& [text, size] : cases) {
        SCOPED_TRACE(text);
        const std::vector<char> line(text.begin(), text.end());
        FtpListEntry e{};
        ASSERT_EQ(Parse(e, line), 1);
        EXPECT_EQ(e.size64, size);
        EXPECT_EQ(static_cast<std::uint32_t>(e.size),
                  static_cast<std::uint32_t>(size & 0xFFFFFFFFu));
    }
}

}  // namespace
