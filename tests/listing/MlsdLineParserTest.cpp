#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ListingTestClock.h"
#include "ftp/listing/MlsdLineParser.h"

namespace {

using namespace listingtest;
using namespace rklisting;

// An accepted line. kind: 'd' directory, 'f' file, 'l' link (both), '-' neither; size -1 for
// none; time the UTC reading "YYYY-MM-DD HH:MM:SS", nullptr for none.
struct MlsdCase {
    std::string line;
    std::string name;
    char kind;
    std::int64_t size;
    const char* time;
    const char* id = nullptr;
};

// The line in a buffer of its exact size: ASan reports reads past its end. The entry points
// into the buffer, so it lives as long as the entry is read.
MlsdLineResult Parse(FtpListEntry& e, const std::vector<char>& line) {
    return ParseMlsdLine(e, line.data(), static_cast<int>(line.size()));
}
std::vector<char> Bytes(const std::string& text) {
    return std::vector<char>(text.begin(), text.end());
}

TEST(MlsdLineParser, AcceptedLines) {
    const MlsdCase cases[] = {
        {"type=file;size=4821;modify=20260302091500; notes.txt", "notes.txt", 'f', 4821,
         "2026-03-02 09:15:00"},
        {"type=dir;size=4096;modify=20241130000000.123; archive", "archive", 'd', 4096,
         "2024-11-30 00:00:00"},
        {"Type=FILE;Size=5000000000;Modify=20380119031408; big", "big", 'f', 5000000000,
         "2038-01-19 03:14:08"},
        {"type=file;size=18446744073709551615; max", "max", 'f', -2, nullptr},
        {"modify=21060207062816; beyond 2106", "beyond 2106", 'f', -1, "2106-02-07 06:28:16"},
        {"type=file;size=1;  two  spaces ", " two  spaces ", 'f', 1, nullptr},
        {"type=file; a; b=c d", "a; b=c d", 'f', -1, nullptr},
        {"type=OS.unix=slink:/srv/target;size=11; current", "current", 'l', 11, nullptr},
        {"type=os.unix=SLINK; bare", "bare", 'l', -1, nullptr},
        {"type=OS.unix=symlink; other", "other", 'l', -1, nullptr},
        {"type=OS.unix=chr-13/29; null", "null", '-', -1, nullptr},
        {"unique=801e33;perm=el;x.y=; id", "id", 'f', -1, nullptr, "801e33"},
        {" no facts", "no facts", 'f', -1, nullptr},
        {"type=file;modify=19691231235959; before 1970", "before 1970", 'f', -1,
         "1969-12-31 23:59:59"},
    };
    for (const MlsdCase& c : cases) {
        SCOPED_TRACE('"' + c.line + '"');
        const std::vector<char> line = Bytes(c.line);
        FtpListEntry e{};
        ASSERT_EQ(Parse(e, line), MlsdAccepted);
        ASSERT_TRUE(e.name >= line.data() && e.name + e.nameLength <= line.data() + line.size());
        EXPECT_EQ(std::string(e.name, e.nameLength), c.name);
        EXPECT_EQ(e.mayBeDirectory, int{c.kind == 'd' || c.kind == 'l'});
        EXPECT_EQ(e.mayBeFile, int{c.kind == 'f' || c.kind == 'l'});
        EXPECT_EQ(e.sizeKind, c.size == -1 ? SizeUnknown : SizeBytes);
        if (c.size >= 0) {
            EXPECT_EQ(e.size64, static_cast<std::uint64_t>(c.size));
        }
        if (c.size == -2) {
            EXPECT_EQ(e.size64, UINT64_MAX);
        }
        EXPECT_EQ(static_cast<std::uint32_t>(e.size), static_cast<std::uint32_t>(e.size64));
        EXPECT_EQ(e.timeKind, c.time ? TimeAbsolute : TimeUnknown);
        if (c.time) {
            EXPECT_EQ(Reading(e.time - s_timeBase.load(), true), c.time);
        }
        EXPECT_EQ(e.idKind, c.id ? IdUnique : IdNone);
        if (c.id) {
            EXPECT_EQ(std::string(e.id, e.idLength), c.id);
        }
    }
}

TEST(MlsdLineParser, SkippedAndRejectedLines) {
    for (const std::string line : {"type=cdir;modify=20260302091500; /pub", "TYPE=PDir; .."}) {
        FtpListEntry e{};
        EXPECT_EQ(Parse(e, Bytes(line)), MlsdSkipped) << line;
    }
    const std::string rejected[] = {
        "",
        "type=file;",                                    // no space
        "type=file; ",                                   // empty name
        "type=file name",                                // facts not closed by ";"
        "type=file;;  x",                                // empty fact
        "=file; x",                                      // fact without a name
        "size; x",                                       // fact without "="
        "size=12a; x",                                   // size not decimal
        "size=; x",                                      // empty size
        "size=18446744073709551616; x",                  // size beyond 64 bits
        "modify=2026030209150; x",                       // 13 digits
        "modify=20260302091500.; x",                     // "." without a fraction
        "modify=20260302091500Z; x",                     // trailing text
        "modify=20261302091500; x",                      // month 13
        "modify=20260332091500; x",                      // day 32
        "modify=20260302241500; x",                      // hour 24
        "total 12",                                      // a LIST summary line
        "-rw-r--r-- 1 u g 4821 Mar  2 09:15 notes.txt",  // a LIST line
    };
    for (const std::string& line : rejected) {
        FtpListEntry e{};
        EXPECT_EQ(Parse(e, Bytes(line)), MlsdRejected) << '"' << line << '"';
    }
}

}  // namespace
