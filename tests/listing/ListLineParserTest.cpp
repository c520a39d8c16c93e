#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ListingTestSupport.h"
#include "ftp/listing/ListLineParser.h"

namespace {

using namespace listingtest;
using namespace rklisting;

using Rows = std::vector<std::pair<std::string, std::string>>;

// The line in a buffer of its exact size (ASan sees reads past it): its entry, or "rejected".
std::string Parse(const std::string& text) {
    const std::vector<char> line(text.begin(), text.end());
    FtpListEntry e{};
    return ParseListLine(e, line.data(), static_cast<int>(line.size())) == 1 ? Describe(e)
                                                                             : "rejected";
}

// Accepted lines against their entry and rejected ones, at one fixed "now".
void Expect(const Rows& accepted, const std::vector<std::string>& rejected = {}) {
    FixedClock clock(Utc(2026, 3, 15, 12));
    for (const auto& [text, expected] : accepted) EXPECT_EQ(Parse(text), expected) << text;
    for (const std::string& text : rejected) EXPECT_EQ(Parse(text), "rejected") << text;
}

TEST(ParseListLine, WorkedExamples) {
    // 2025-03-31 lies 349.5 days before now, 2025-03-30 350.5 days.
    Expect(
        {{"-rw-r--r--   1 a  b  4821 Mar 31 9:15 late", "late|f 4821 clock 2025-03-31 09:15"},
         {"-rw-r--r-- 1 a b 1 Mar 30 9:15 x", "x|f 1 clock 2026-03-30 09:15"},
         {"crw-rw-rw- 1 r s 13,  12 Feb  3 10:00 null", "null|- 12 clock 2026-02-03 10:00"},
         {"drwxr-xr-x  folder  5 Oct  3  2019 Sources", "Sources|d 5 date 2019-10-03 00:00"},
         {"- [RWCEAFMS] bob  2048  Sep 21 14:05    r.doc", "r.doc|f 2048 clock 2025-09-21 14:05"},
         {"03-09-26  04:30PM  <DIR>  Old Reports", "Old Reports|d ? clock 2026-03-09 16:30"},
         {"12-31-99  12:05AM  1048576 backup.zip", "backup.zip|f 1048576 clock 1999-12-31 00:05"},
         {"SETUP.COM;3  4  12-FEB-2026 08:07:55 [S]", "SETUP.COM|f ? clock 2026-02-12 08:07"},
         {"LOGS.DIR;1  1  5-JAN-2026 17:20 [STAFF] (RWE)", "LOGS|d ? clock 2026-01-05 17:20"},
         {"+i98.32,m1767225600,r,s2048,\tx", "x|f 2048 utc 2026-01-01 00:00:00 id=98.32"},
         {"+/,s10\tnodelim", "nodelim|d ? -"},
         {"+\t", "|- ? -"},
         {"+,,x1,s4294967295,\t a b ", " a b |- 4294967295 -"}},
        {"-rw-r--r--   1 alice    staff        4821 Mar  2 09:15",  // nothing after the time
         "total 1234", "README;1 1 1-Jan-2000 10:30", "+", "", "+/,r,s7,m0" /* no TAB */});
}

TEST(ParseListLine, UnixColumnsAndNames) {
    Expect({{"brw-rw---- 1 root disk 8, 1 MAR 2 2024 sda1", "sda1|- 1 date 2024-03-02 00:00"},
            {"prw-r--r-- 1 a b 0 mAr 2 2024 fifo", "fifo|- 0 date 2024-03-02 00:00"},
            {"srwxr-xr-x 1 a b 0 Mar 2 2024 sock", "sock|- 0 date 2024-03-02 00:00"},
            // A single space after the year: an empty name.
            {"-rw-r--r-- 1 a b 5 Mar 2 2024 ", "|f 5 date 2024-03-02 00:00"},
            // A colon at the wrong place: four bytes read as a year (':' counts as 10).
            {"-rw-r--r-- 1 a b 5 Mar 2 19:5 x", "x|f 5 date 2005-03-02 00:00"},
            // The arrow is cut from 'l' lines only, at its first spaced form.
            {"lrwxrwxrwx 1 a b 3 Mar 2 2024 a->b", "a->b|l 3 date 2024-03-02 00:00"},
            {"lrwxrwxrwx 1 a b 3 Mar 2 2024 a -> b -> c", "a|l 3 date 2024-03-02 00:00"},
            {"-rw-r--r-- 1 a b 3 Mar 2 2024 a -> b", "a -> b|f 3 date 2024-03-02 00:00"},
            // The three-space removal depends on the second byte only.
            {"-[RWCEAFMS] 1 bob 2048 Sep 21 14:05    x", "x|f 2048 clock 2025-09-21 14:05"},
            {"-rw-r--r-- 1 a b 2048 Sep 21 14:05    x", "   x|f 2048 clock 2025-09-21 14:05"},
            {"- [R] bob 1 Sep 21 14:05    ", "   |f 1 clock 2025-09-21 14:05"}},
           {"-rw-r--r-- 1 a b 5 Mar 2 924 x",  // time or year shorter than 4 bytes
            "-rw-r--r-- 1 a b 5 Mar 2 2024",   // no space after the year
            "-rw-r--r-- 1 a b 5 Mar", "Drwxr-xr-x 1 a b 5 Mar 2 2024 x" /* lower case types only */,
            "--", "d x", "-rw-r--r-- 1 a" /* shorter than one block of the scan */,
            // Month names match in any case, but only letters do: no month, no size.
            "-rw-r--r-- 1 a b 5 j@n 2 2024 x", "-rw-r--r-- 1 a b 5 \352an 2 2024 x"});
}

TEST(ParseListLine, VmsAndMsDosLines) {
    Expect({{"LOGS.dir;1 1 5-JAN-2026 17:20 x", "LOGS.dir|f ? clock 2026-01-05 17:20"},
            {".DIR;1 1 5-JAN-2026 17:20 x", ".DIR|f ? clock 2026-01-05 17:20"},
            {"X.DIR;1 1 5-jan-2026 17:20 x", "X|d ? clock 2026-01-05 17:20"},
            // A leading digit with a ';' anywhere is a VMS line, not MS-DOS.
            {"1999.TXT;2 8 31-DEC-1999 23:59 x", "1999.TXT|f ? clock 1999-12-31 23:59"},
            {"03-09-26  12:05PM 5 x", "x|f 5 clock 2026-03-09 12:05"},
            // 2049 is beyond 32-bit seconds: the date wraps by 2^32 seconds.
            {"03-09-49  01:00AM 5 x", "x|f 5 clock 1913-01-31 18:31"},
            {"03-09-50  01:00AM 5 x", "x|f 5 clock 1950-03-09 01:00"},
            {"03-09-2026  01:00AM 5 x", "x|f 5 clock 2026-03-09 01:00"},
            {"03-09-26  04:30PM  <JUNCTION> a b", "a b|d ? clock 2026-03-09 16:30"},
            // 24-hour: the minutes run to the name's 'P'; "ics" is the size.
            {"03-09-26  16:30       <DIR>          Pics x", "x|f 6277 clock 2064-06-06 06:06"}},
           {"03-09-26  16:30       <DIR>          Old Reports" /* no 'A' or 'P' after 16:30 */,
            "03-09-26  04:30PM 5", "03-09-26  04:30PM 5 ",
            "03-09-26  04:30PM  5 a;b" /* VMS by its ';', whose scans then fail */,
            "A.TXT;1 1 5-JUNE-2026 17:20 x", "A.TXT;1 1 5-JAN-2026", "03-09-26  04:30PM",
            "03-09-26  04:30P"});
}

// The scans take 16- and 64-byte blocks: fields are found wherever the block edges fall.
TEST(ParseListLine, FieldsAreFoundWhereverBlockEdgesFall) {
    const std::string date = " date 2024-03-02 00:00", clock = " clock 2026-03-02 09:15";
    for (std::size_t pad = 1; pad <= 140; ++pad) {
        const std::string g(pad, ' '), n = "n" + std::string(pad % 70, 'x');  // gap, name
        Expect({{"lrwxrwxrwx 1 a" + g + "b 9 Mar 2 09:15 " + n + " -> t", n + "|l 9" + clock},
                {"d" + g + "1 a b 7 mar" + g + "2 2024 " + n, n + "|d 7" + date}});
    }
}

// Sizes above 2^32 keep all their digits; a size beyond 64 bits, or with other bytes than
// digits, is the 32-bit field read as unsigned (',' counts as -4, a byte above 127 is negative).
TEST(ParseListLine, SizeFields) {
    const std::string unix = "-rw-r--r-- 1 u g ", time = " Mar  2 09:15 x";
    const std::string clock = " clock 2026-03-02 09:15";
    Expect({{unix + "5368709120" + time, "x|f 5368709120" + clock},
            {unix + "4294967296" + time, "x|f 4294967296" + clock},
            {unix + "18446744073709551615" + time, "x|f 18446744073709551615" + clock},
            {unix + "18446744073709551616" + time, "x|f 0" + clock},
            {unix + "13," + time, "x|f 126" + clock},
            {unix + "\xFF" + time, "x|f 4294967247" + clock}});
}

}  // namespace
