// Turns one parsed listing entry into the Windows directory-entry record.
#pragma once

#include "RKCurl/WindowsTypes.h"
#include "ftp/listing/ListLineParser.h"

namespace rkcurl {
namespace ftp {

// The listing time as a FILETIME: Unix, VMS and MS-DOS readings unchanged (no zone), EPLF
// instants in the local time zone. Unknown times, and EPLF instants the C runtime refuses to
// break down, give 0.
FILETIME ListingTimeToFileTime(rklisting::ListTimeKind kind, std::int64_t time);

// Fills record from entry (everything else zero); false when the name cannot be held
// faithfully: it holds a zero byte or needs more than MAX_PATH - 1 wide characters.
bool BuildFindRecord(const rklisting::FtpListEntry& entry, WIN32_FIND_DATAW& record);

}  // namespace ftp
}  // namespace rkcurl
