// Turns one parsed listing entry into the Windows directory-entry record.
#pragma once

#include <cstdint>

#include "RKCurl/WindowsTypes.h"
#include "ftp/listing/ListLineParser.h"

namespace rkcurl {
namespace ftp {

// The listing time as a FILETIME: Unix, VMS and MS-DOS readings unchanged (no zone), EPLF
// instants in the local time zone. Unknown times, and EPLF instants the C runtime refuses to
// break down, give 0.
FILETIME ListingTimeToFileTime(rklisting::ListTimeKind kind, std::int64_t time);

// What a listing entry is, beyond what its record can say.
enum EntryMark : std::uint8_t {
    kMayBeLink = 1,   // listed as both a directory and a file
    kUnsafeName = 2,  // the name holds a zero byte: the record's name is cut there
};

// Fills record from entry (everything else zero) and marks with EntryMark bits; false when
// the name needs more than MAX_PATH - 1 wide characters.
bool BuildFindRecord(const rklisting::FtpListEntry& entry, WIN32_FIND_DATAW& record,
                     std::uint8_t& marks);

}  // namespace ftp
}  // namespace rkcurl
