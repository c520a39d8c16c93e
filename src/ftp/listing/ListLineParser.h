// The FTP directory listing line parser.
//
// ParseListLine reads one line of a server's directory listing and describes the entry that
// it names. It knows four line forms, chosen by the line's first byte and by the presence of a
// ';': EPLF ('+'), the Unix long listing and its variants ('-', 'b', 'c', 'd', 'l', 'p', 's'),
// VMS (a ';' anywhere) and MS-DOS (a leading digit). Every other line is rejected.
//
// The parser keeps no state, allocates nothing and copies nothing: name and id point into the
// caller's line and stay valid only while that buffer lives unchanged. Times are composed with
// the process-wide clock state of ListingDates.h, so it may run on any thread.
#pragma once

#include <cstdint>

namespace rklisting {

enum ListSizeKind : std::int32_t {
    SizeUnknown = 0,  // size is 0
    SizeBytes = 1,    // size is a byte count
};

enum ListTimeKind : std::int32_t {
    TimeUnknown = 0,      // the line gave no time; time is 0
    TimeAbsolute = 1,     // an instant: seconds since 1970-01-01T00:00:00 UTC, plus s_timeBase
    TimeServerClock = 2,  // the server's date and time to the minute, counted as if UTC
    TimeServerDate = 3,   // as TimeServerClock, but only the date was given (00:00)
};

enum ListIdKind : std::int32_t {
    IdNone = 0,
    IdUnique = 1,  // id identifies the file on that server
};

// One listing entry. Directory and file flags may both be 1 (symbolic links) or both be 0
// (devices, pipes, sockets). Meaningful only when ParseListLine returned 1.
struct FtpListEntry {
    const char* name;  // into the caller's line, not zero-terminated
    std::int32_t nameLength;
    std::int32_t mayBeDirectory;  // 0 or 1
    std::int32_t mayBeFile;       // 0 or 1
    ListSizeKind sizeKind;
    std::int32_t size;  // read its 32 bits as unsigned: sizes up to 2^32 - 1 are exact
    ListTimeKind timeKind;
    std::int64_t time;  // seconds, see ListTimeKind
    ListIdKind idKind;
    const char* id;  // into the caller's line, not zero-terminated
    std::int32_t idLength;
    // The size as a 64-bit count: a field of decimal digits only whose value is 2^32 or more
    // (and below 2^64) gives that value; every other field gives size's 32 bits, unsigned.
    std::uint64_t size64;
};

// Parses line[0 .. length-1] (no line terminator, no zero needed) into entry. Returns 1 when
// the line was recognised, 0 when it was rejected; on 0, entry holds a partial parse.
int ParseListLine(FtpListEntry& entry, const char* line, int length);

// The number rule of every numeric field: value * 10 + (byte - '0') for each byte, bytes taken
// as signed 8-bit, in 32-bit arithmetic that wraps. No byte is checked for being a digit; an
// empty field gives 0.
std::int32_t ReadDecimal(const char* field, int length);

// The 64-bit reading of a size field, as FtpListEntry::size64 describes it.
std::uint64_t ReadSize64(const char* field, int length);

}  // namespace rklisting
