#include "SyntheticListing.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace listingbench {
namespace {

// A small deterministic generator; the figures must not depend on the standard library's.
class Random {
public:
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<std::uint32_t>(state_ >> 32);
    }
    std::uint32_t Below(std::uint32_t n) { return Next() % n; }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kUpperMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                      "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char* const kNames[8] = {"notes.txt",
                               "archive",
                               "build-2026-03-01.tar.gz",
                               "README",
                               "Old Reports",
                               "photo_0042.jpeg",
                               "src",
                               "very long file name with spaces.pdf"};

// One line, by kind; the shares below follow what mixed server farms tend to send.
void AppendLine(std::string& out, Random& r) {
    char line[160];
    const char* name = kNames[r.Below(8)];
    const int month = static_cast<int>(r.Below(12));
    const int day = 1 + static_cast<int>(r.Below(28));
    const int hour = static_cast<int>(r.Below(24));
    const int minute = static_cast<int>(r.Below(60));
    const unsigned size = r.Next() % 100000000u;
    const std::uint32_t kind = r.Below(100);
    int n;
    if (kind < 30) {  // Unix file, time of day
        n = std::snprintf(line, sizeof line,
                          "-rw-r--r--   1 alice    staff    %10u %s %2d %02d:%02d %s", size,
                          kMonths[month], day, hour, minute, name);
    } else if (kind < 45) {  // Unix directory, year
        n = std::snprintf(line, sizeof line, "drwxr-xr-x   3 alice    staff    %10u %s %2d  %4d %s",
                          size, kMonths[month], day, 2000 + static_cast<int>(r.Below(26)), name);
    } else if (kind < 50) {  // symbolic link
        n = std::snprintf(line, sizeof line,
                          "lrwxrwxrwx   1 root     root     %10u %s %2d %02d:%02d %s -> ../%s",
                          size % 100, kMonths[month], day, hour, minute, name, name);
    } else if (kind < 53) {  // device with major and minor numbers
        n = std::snprintf(line, sizeof line,
                          "crw-rw-rw-   1 root     sys      %3u, %3u %s %2d %02d:%02d tty%u",
                          size % 256, size % 97, kMonths[month], day, hour, minute, size % 64);
    } else if (kind < 56) {  // "folder" in place of link count, owner and group
        n = std::snprintf(line, sizeof line, "drwxr-xr-x               folder %8u %s %2d  %4d %s",
                          size % 1000, kMonths[month], day, 2000 + static_cast<int>(r.Below(26)),
                          name);
    } else if (kind < 60) {  // bracketed rights, three extra spaces before the name
        n = std::snprintf(line, sizeof line, "- [RWCEAFMS] bob %20u     %s %2d %02d:%02d    %s",
                          size, kMonths[month], day, hour, minute, name);
    } else if (kind < 75) {  // MS-DOS
        const int h12 = hour % 12 == 0 ? 12 : hour % 12;
        if (r.Below(4) == 0) {
            n = std::snprintf(
                line, sizeof line, "%02d-%02d-%02d  %02d:%02d%s       <DIR>          %s", month + 1,
                day, static_cast<int>(r.Below(100)), h12, minute, hour < 12 ? "AM" : "PM", name);
        } else {
            n = std::snprintf(line, sizeof line, "%02d-%02d-%02d  %02d:%02d%s %20u %s", month + 1,
                              day, static_cast<int>(r.Below(100)), h12, minute,
                              hour < 12 ? "AM" : "PM", size, name);
        }
    } else if (kind < 87) {  // VMS
        n = std::snprintf(line, sizeof line,
                          "%s;%u %11u %2d-%s-%4d %02d:%02d:%02d [STAFF,ALICE] (RWED,RWED,RE,)",
                          r.Below(5) == 0 ? "LOGS.DIR" : "SETUP.COM", 1 + r.Below(9), size % 100000,
                          day, kUpperMonths[month], 2000 + static_cast<int>(r.Below(26)), hour,
                          minute, static_cast<int>(r.Below(60)));
    } else if (kind < 97) {  // EPLF
        n = std::snprintf(line, sizeof line, "+i%u.%u,m%u,%s,s%u,\t%s", r.Next(), r.Below(100000),
                          1600000000u + r.Below(200000000u), r.Below(4) == 0 ? "/" : "r", size,
                          name);
    } else {  // summary lines that every form rejects
        n = std::snprintf(line, sizeof line, "total %u", size % 100000);
    }
    if (n < 0) return;
    out.append(line, std::min(static_cast<std::size_t>(n), sizeof line - 1));
    out.push_back('\n');
}

}  // namespace

std::string MakeSyntheticListing(std::size_t lines) {
    std::string out;
    out.reserve(lines * 72);
    Random r;
    for (std::size_t k = 0; k < lines; ++k) AppendLine(out, r);
    return out;
}

}  // namespace listingbench
