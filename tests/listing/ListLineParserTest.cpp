#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ListingTestClock.h"
#include "ftp/listing/ListLineParser.h"

namespace {

using listingtest::FixedClock;
using listingtest::Reading;
using listingtest::Utc;
using namespace rklisting;

// What an accepted line should give. kind: 'd' directory, 'f' file, 'l' both, '-' neither.
// size: -1 for SizeUnknown, else the 32 bits read as unsigned. time: the calendar reading
// for server times, or nullptr for TimeUnknown.
struct LineCase {
    const char* line;
    const char* name;
    char kind;
    std::int64_t size;
    ListTimeKind timeKind;
    const char* time;
};

std::string Describe(const std::string& line) {
    std::string shown;
    for (char c : line) shown += c == '\t' ? std::string("<TAB>") : std::string(1, c);
    return '"' + shown + '"';
}

// A line in a buffer of exactly its size (no terminating zero), so that AddressSanitizer
// reports any read past its end.
using Line = std::vector<char>;

Line MakeLine(const char* text) {
    return Line(text, text + std::strlen(text));
}

int Parse(FtpListEntry& e, const Line& line) {
    return ParseListLine(e, line.data(), static_cast<int>(line.size()));
}

void ExpectLines(std::initializer_list<LineCase> cases) {
    FixedClock clock(Utc(2026, 3, 15, 12));
    for (const LineCase& c : cases) {
        const Line line = MakeLine(c.line);
        SCOPED_TRACE(Describe(c.line));
        FtpListEntry e{};
        ASSERT_EQ(Parse(e, line), 1);
        ASSERT_GE(e.name, line.data());
        ASSERT_LE(e.name + e.nameLength, line.data() + line.size());
        EXPECT_EQ(std::string(e.name, e.nameLength), c.name);
        EXPECT_EQ(e.mayBeDirectory, int{c.kind == 'd' || c.kind == 'l'});
        EXPECT_EQ(e.mayBeFile, int{c.kind == 'f' || c.kind == 'l'});
        EXPECT_EQ(e.sizeKind, c.size < 0 ? SizeUnknown : SizeBytes);
        EXPECT_EQ(static_cast<std::uint32_t>(e.size), c.size < 0 ? 0u : c.size);
        EXPECT_EQ(e.timeKind, c.timeKind);
        if (c.time != nullptr) {
            EXPECT_EQ(Reading(e.time), c.time);
        }
        if (c.timeKind == TimeUnknown) {
            EXPECT_EQ(e.time, 0);
        }
    }
}

void ExpectRejected(std::initializer_list<const char*> lines) {
    FixedClock clock(Utc(2026, 3, 15, 12));
    for (const char* text : lines) {
        const Line line = MakeLine(text);
        FtpListEntry e{};
        EXPECT_EQ(Parse(e, line), 0) << Describe(text);
    }
}

constexpr ListTimeKind kClock = TimeServerClock;
constexpr ListTimeKind kDate = TimeServerDate;
constexpr ListTimeKind kNone = TimeUnknown;

TEST(ParseListLine, WorkedExamples) {
    ExpectLines({
        {"-rw-r--r--   1 alice    staff        4821 Mar  2 09:15 notes.txt", "notes.txt", 'f', 4821,
         kClock, "2026-03-02 09:15"},
        {"drwxr-xr-x   3 alice    staff        4096 Nov 30  2024 archive", "archive", 'd', 4096,
         kDate, "2024-11-30 00:00"},
        {"-rw-r--r--   1 alice    staff        4821 Mar 31 9:15 late.txt", "late.txt", 'f', 4821,
         kClock, "2025-03-31 09:15"},
        {"lrwxrwxrwx   1 alice    staff          11 Jan  7 18:40 current -> releases/7", "current",
         'l', 11, kClock, "2026-01-07 18:40"},
        {"crw-rw-rw-   1 root     sys      13,  12 Feb  3 10:00 null", "null", '-', 12, kClock,
         "2026-02-03 10:00"},
        {"drwxr-xr-x               folder        5 Oct  3  2019 Sources", "Sources", 'd', 5, kDate,
         "2019-10-03 00:00"},
        {"- [RWCEAFMS] bob                 2048     Sep 21 14:05    report.doc", "report.doc", 'f',
         2048, kClock, "2025-09-21 14:05"},
        {"-rw-r--r--   1 alice    staff        4821 Mar  2 09:15  old notes", " old notes", 'f',
         4821, kClock, "2026-03-02 09:15"},
        {"03-09-26  04:30PM       <DIR>          Old Reports", "Old Reports", 'd', -1, kClock,
         "2026-03-09 16:30"},
        {"12-31-99  12:05AM              1048576 backup.zip", "backup.zip", 'f', 1048576, kClock,
         "1999-12-31 00:05"},
        {"SETUP.COM;3           4  12-FEB-2026 08:07:55 [STAFF,ALICE] (RWED,RWED,RE,)", "SETUP.COM",
         'f', -1, kClock, "2026-02-12 08:07"},
        {"LOGS.DIR;1            1  5-JAN-2026 17:20 [STAFF] (RWE,RWE,RE,RE)", "LOGS", 'd', -1,
         kClock, "2026-01-05 17:20"},
        {"+i9872342.32142,m1767225600,r,s2048,\treadme.txt", "readme.txt", 'f', 2048, TimeAbsolute,
         "2026-01-01 00:00"},
        {"+/,s10\tnodelim", "nodelim", 'd', -1, kNone, nullptr},
    });
    ExpectRejected({
        "-rw-r--r--   1 alice    staff        4821 Mar  2 09:15",  // nothing after the time
        "total 1234",
        "README;1 1 1-Jan-2000 10:30",  // nothing after the minutes
    });
}

TEST(ParseListLine, EplfFactsAndId) {
    const Line line = MakeLine("+i9872342.32142,m1767225600,r,s2048,\treadme.txt");
    FtpListEntry e{};
    ASSERT_EQ(Parse(e, line), 1);
    EXPECT_EQ(e.time, 1767225600);
    EXPECT_EQ(e.idKind, IdUnique);
    EXPECT_EQ(e.id, line.data() + 2);
    EXPECT_EQ(std::string(e.id, e.idLength), "9872342.32142");

    ExpectLines({
        {"+\t", "", '-', -1, kNone, nullptr},
        {"+,,x1,s4294967295,\t a b ", " a b ", '-', 4294967295, kNone, nullptr},
    });
    ExpectRejected({
        "+", "",
        "+/,r,s7,m0",  // no TAB
    });
}

TEST(ParseListLine, UnixColumnsAndNames) {
    ExpectLines({
        // Group missing: the last number before the month is still the size.
        {"-rw-r--r-- 1 ftp 4821 Mar 2 09:15 x", "x", 'f', 4821, kClock, "2026-03-02 09:15"},
        {"brw-rw---- 1 root disk 8, 1 MAR 2 2024 sda1", "sda1", '-', 1, kDate, "2024-03-02 00:00"},
        {"prw-r--r-- 1 a b 0 mAr 2 2024 fifo", "fifo", '-', 0, kDate, "2024-03-02 00:00"},
        {"srwxr-xr-x 1 a b 0 Mar 2 2024 sock", "sock", '-', 0, kDate, "2024-03-02 00:00"},
        // Sizes from 2^31 up fill all 32 bits; 2^32 wraps to 0.
        {"-rw-r--r-- 1 a b 2147483648 Jan 1 2020 half", "half", 'f', 2147483648, kDate,
         "2020-01-01 00:00"},
        {"-rw-r--r-- 1 a b 4294967295 Jan 1 2020 big", "big", 'f', 4294967295, kDate,
         "2020-01-01 00:00"},
        {"-rw-r--r-- 1 a b 4294967296 Jan 1 2020 wrap", "wrap", 'f', 0, kDate, "2020-01-01 00:00"},
        // A single space after the year: an empty name.
        {"-rw-r--r-- 1 a b 5 Mar 2 2024 ", "", 'f', 5, kDate, "2024-03-02 00:00"},
        // A colon at the wrong place: four bytes read as a year (':' counts as 10).
        {"-rw-r--r-- 1 a b 5 Mar 2 19:5 x", "x", 'f', 5, kDate, "2005-03-02 00:00"},
        {"-rw-r--r-- 1 a b 5 Feb 29 2023 x", "x", 'f', 5, kDate, "2020-02-29 00:00"},
        // The arrow is cut from 'l' lines only, at its first spaced form.
        {"lrwxrwxrwx 1 a b 3 Mar 2 2024 a->b", "a->b", 'l', 3, kDate, "2024-03-02 00:00"},
        {"lrwxrwxrwx 1 a b 3 Mar 2 2024 a -> b -> c", "a", 'l', 3, kDate, "2024-03-02 00:00"},
        {"-rw-r--r-- 1 a b 3 Mar 2 2024 a -> b", "a -> b", 'f', 3, kDate, "2024-03-02 00:00"},
        // The three-space removal depends on the second byte only.
        {"-[RWCEAFMS] 1 bob 2048 Sep 21 14:05    x", "x", 'f', 2048, kClock, "2025-09-21 14:05"},
        {"-rw-r--r-- 1 a b 2048 Sep 21 14:05    x", "   x", 'f', 2048, kClock, "2025-09-21 14:05"},
        {"- [R] bob 1 Sep 21 14:05    ", "   ", 'f', 1, kClock, "2025-09-21 14:05"},
    });
    ExpectRejected({
        "-rw-r--r-- 1 a b 5 Mar 2 924 x",  // time or year shorter than 4 bytes
        "-rw-r--r-- 1 a b 5 Mar 2 2024",   // no space after the year
        "-rw-r--r-- 1 a b 5 Mar",
        "Drwxr-xr-x 1 a b 5 Mar 2 2024 x",  // types are lower case only
        "--", "d x", "-rw-r--r-- 1 a",      // shorter than one block of the scan
    });
}

TEST(ParseListLine, VmsLines) {
    ExpectLines({
        {"LOGS.dir;1 1 5-JAN-2026 17:20 x", "LOGS.dir", 'f', -1, kClock, "2026-01-05 17:20"},
        {".DIR;1 1 5-JAN-2026 17:20 x", ".DIR", 'f', -1, kClock, "2026-01-05 17:20"},
        {"X.DIR;1 1 5-jan-2026 17:20 x", "X", 'd', -1, kClock, "2026-01-05 17:20"},
        // A leading digit with a ';' anywhere is a VMS line, not MS-DOS.
        {"1999.TXT;2 8 31-DEC-1999 23:59 x", "1999.TXT", 'f', -1, kClock, "1999-12-31 23:59"},
    });
    ExpectRejected({
        "03-09-26  04:30PM  5 a;b",  // a ';' makes it VMS, whose scans then fail
        "A.TXT;1 1 5-JUNE-2026 17:20 x",
        "A.TXT;1 1 5-JAN-2026",
    });
}

TEST(ParseListLine, MsDosLines) {
    ExpectLines({
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
        // 24-hour lines: the minutes run to the next 'A' or 'P' anywhere.
        // ... and the name's 'P' ends them; "ics" is then read as the size.
        {"03-09-26  16:30       <DIR>          Pics x", "x", 'f', 6277, kClock, nullptr},
    });
    ExpectRejected({
        "03-09-26  16:30       <DIR>          Old Reports",  // no 'A' or 'P' after 16:30
        "03-09-26  04:30PM 5",
        "03-09-26  04:30PM 5 ",
        "03-09-26  04:30PM",
        "03-09-26  04:30P",
    });
}

// The scans test the line in blocks of 16 and 64 bytes; fields must be found wherever the
// block edges fall, and nothing may be read past the end of the line.
TEST(ParseListLine, FieldsAreFoundWhereverBlockEdgesFall) {
    FixedClock clock(Utc(2026, 3, 15, 12));
    for (int pad = 1; pad <= 140; ++pad) {
        const std::string gap(static_cast<std::size_t>(pad), ' ');
        const std::string name = "n" + std::string(static_cast<std::size_t>(pad % 70), 'x');
        const struct {
            std::string line;
            std::int32_t size;
            std::string name;
        } cases[] = {
            {"-rw-r--r-- 1 a b" + gap + "123 Mar 2 2024 " + name, 123, name},
            {"lrwxrwxrwx 1 a" + gap + "b 9 Mar 2 09:15 " + name + " -> t", 9, name},
            {"d" + gap + "1 a b 7 mar" + gap + "2 2024 " + name, 7, name},
            {"03-02-26" + gap + "09:15AM" + gap + "55" + gap + name, 55, name},
            {"03-02-26 09:15AM <DIR>" + gap + name + gap, 0, name + gap},
        };
        for (const auto& c : cases) {
            const Line line(c.line.begin(), c.line.end());
            FtpListEntry e{};
            ASSERT_EQ(Parse(e, line), 1) << Describe(c.line);
            EXPECT_EQ(e.size, c.size) << Describe(c.line);
            EXPECT_EQ(std::string(e.name, e.nameLength), c.name) << Describe(c.line);
            EXPECT_EQ(Reading(e.time).substr(5),
                      "03-02 " + std::string(e.timeKind == kDate ? "00:00" : "09:15"))
                << Describe(c.line);
        }
        const std::string vms =
            "A" + gap + "B.DIR;1" + gap + "1" + gap + "2-MAR-2026" + gap + "09:15";
        const Line cut(vms.begin(), vms.end());
        FtpListEntry e{};
        EXPECT_EQ(Parse(e, cut), 0) << Describe(vms);  // the minute scan reaches the end
    }
}

TEST(ReadDecimal, SignedBytesAndWrapping) {
    const struct {
        const char* field;
        std::int32_t expected;
    } cases[] = {
        {"4821", 4821},
        {"007", 7},
        {"13,", 126},   // ',' counts as -4
        {"\xFF", -49},  // a byte above 127 is negative
        {"2147483648", INT32_MIN},
        {"4294967295", -1},
        {"99999999999", 1215752191},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadDecimal(c.field, static_cast<int>(std::strlen(c.field))), c.expected)
            << '"' << c.field << '"';
    }
}

}  // namespace
