#include "ftp/FindRecord.h"

#include <cstring>
#include <ctime>
#include <string>

#include "RKCurl/TextConversion.h"
#include "platform/CRuntime.h"
#include "platform/FileTimeEpoch.h"

namespace rkcurl {
namespace ftp {

namespace {

using rkplatform::kSecondsFrom1601To1970;
using rkplatform::kTicksPerSecond;

FILETIME FromTicks(std::int64_t ticks) {
    FILETIME fileTime;
    fileTime.dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) & 0xFFFFFFFFu);
    fileTime.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
    return fileTime;
}

FILETIME FromBreakdown(const std::tm& broken) {
    SYSTEMTIME reading;
    reading.wYear = static_cast<WORD>(broken.tm_year + 1900);
    reading.wMonth = static_cast<WORD>(broken.tm_mon + 1);
    reading.wDayOfWeek = static_cast<WORD>(broken.tm_wday);
    reading.wDay = static_cast<WORD>(broken.tm_mday);
    reading.wHour = static_cast<WORD>(broken.tm_hour);
    reading.wMinute = static_cast<WORD>(broken.tm_min);
    reading.wSecond = static_cast<WORD>(broken.tm_sec);
    reading.wMilliseconds = 0;
    FILETIME fileTime = FromTicks(0);
    SystemTimeToFileTime(&reading, &fileTime);  // a reading from the runtime is always valid
    return fileTime;
}

}  // namespace

FILETIME ListingTimeToFileTime(rklisting::ListTimeKind kind, std::int64_t time) {
    const __time64_t value = time;
    switch (kind) {
        case rklisting::TimeUnknown:
            return FromTicks(0);
        case rklisting::TimeAbsolute: {
            const std::tm* broken = _localtime64(&value);
            return broken != nullptr ? FromBreakdown(*broken) : FromTicks(0);
        }
        case rklisting::TimeServerClock:
        case rklisting::TimeServerDate: {
            if (const std::tm* broken = _gmtime64(&value)) return FromBreakdown(*broken);
            // The runtime refuses readings before 1970; with no zone involved the reading
            // converts by plain arithmetic, so a 1950s MS-DOS date keeps its value.
            if (value < -kSecondsFrom1601To1970) return FromTicks(0);
            return FromTicks((value + kSecondsFrom1601To1970) * kTicksPerSecond);
        }
    }
    return FromTicks(0);
}

bool BuildFindRecord(const rklisting::FtpListEntry& entry, WIN32_FIND_DATAW& record,
                     std::uint8_t& marks) {
    std::memset(&record, 0, sizeof record);
    const std::string narrow(entry.name, static_cast<std::size_t>(entry.nameLength));
    const std::wstring name = oru::helper::NarStrToWideStr(narrow);  // cut at a zero byte
    if (name.size() > MAX_PATH - 1) return false;
    name.copy(record.cFileName, name.size());

    marks = 0;
    if (narrow.find('\0') != std::string::npos) marks |= kUnsafeName;
    // Both a directory and a file: a symbolic link, or possibly one.
    if (entry.mayBeDirectory != 0 && entry.mayBeFile != 0) marks |= kMayBeLink;
    if (entry.mayBeDirectory != 0) record.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    // The 64-bit size: below 2^32 it is the 32-bit field read as unsigned, high part 0.
    const std::uint64_t size = entry.sizeKind == rklisting::SizeUnknown ? 0 : entry.size64;
    record.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    record.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    record.ftLastWriteTime = ListingTimeToFileTime(entry.timeKind, entry.time);
    return true;
}

}  // namespace ftp
}  // namespace rkcurl
