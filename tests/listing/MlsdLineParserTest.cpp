#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ListingTestSupport.h"
#include "ftp/listing/MlsdLineParser.h"

namespace {

using namespace listingtest;
using namespace rklisting;

// The line in a buffer of its exact size (ASan sees reads past it): entry, skipped or rejected.
std::string Parse(const std::string& text) {
    const std::vector<char> line(text.begin(), text.end());
    FtpListEntry e{};
    const MlsdLineResult result = ParseMlsdLine(e, line.data(), static_cast<int>(line.size()));
    if (result == MlsdAccepted) return Describe(e);
    return result == MlsdSkipped ? "skipped" : "rejected";
}

TEST(MlsdLineParser, Lines) {
    const std::pair<std::string, std::string> rows[] = {
        {"type=dir;size=96;modify=20241130000000.123; d", "d|d 96 utc 2024-11-30 00:00:00"},
        {"Type=FILE;Size=5000000000;Modify=20380119031408; b",
         "b|f 5000000000 utc 2038-01-19 03:14:08"},
        {"modify=21060207062816; beyond 2106", "beyond 2106|f ? utc 2106-02-07 06:28:16"},
        {"type=file;size=1;  two  spaces ", " two  spaces |f 1 -"},
        {"type=file; a; b=c d", "a; b=c d|f ? -"},
        {"type=OS.unix=slink:/srv/target;size=11; current", "current|l 11 -"},
        {"type=os.unix=SLINK; bare", "bare|l ? -"},
        {"type=OS.unix=symlink; other", "other|l ? -"},
        {"type=OS.unix=chr-13/29; null", "null|- ? -"},
        {"unique=801e33;perm=el;x.y=; id", "id|f ? - id=801e33"},
        {" no facts", "no facts|f ? -"},
        {"type=file;modify=19691231235959; before 1970", "before 1970|f ? utc 1969-12-31 23:59:59"},
        {"type=cdir;modify=20260302091500; /pub", "skipped"},
        {"TYPE=PDir; ..", "skipped"},
        {"", "rejected"},
        {"type=file; ", "rejected"},                                   // empty name
        {"-rw-r--r-- 1 u g 4821 Mar  2 09:15 notes.txt", "rejected"},  // facts not closed by ";"
        {"=file; x", "rejected"},                                      // fact without a name
        {"size; x", "rejected"},                                       // fact without "="
        {"size=12a; x", "rejected"},                                   // size not decimal
        {"size=; x", "rejected"},                                      // empty size
        {"modify=2026030209150; x", "rejected"},                       // 13 digits
        {"modify=20260302091500.; x", "rejected"},                     // "." without a fraction
        {"modify=20260302091500Z; x", "rejected"},                     // trailing text
        {"modify=20261302091500; x", "rejected"},                      // month 13
        {"modify=20260332091500; x", "rejected"},                      // day 32
        {"modify=20260302241500; x", "rejected"},                      // hour 24
    };
    for (const auto& [line, expected] : rows) EXPECT_EQ(Parse(line), expected) << line;
}

}  // namespace
