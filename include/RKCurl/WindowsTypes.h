// The Windows records that the FTP listing hands out, and the one Windows call that fills them.
//
// On Windows they come from <windows.h>. Elsewhere this header declares them with the same
// names, field names, sizes and meanings, so host code written against the Windows records
// (WIN32_FIND_DATAW, FILETIME, SYSTEMTIME, DWORD, MAX_PATH, FILE_ATTRIBUTE_*) compiles
// unchanged. Wide text is the platform's wchar_t: UTF-16 on Windows, UTF-32 here.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else

#include <cstdint>

#include "RKCurl/Export.h"

typedef std::uint32_t DWORD;  // 32 bits on every platform, as on Windows
typedef std::uint16_t WORD;
typedef int BOOL;

constexpr DWORD MAX_PATH = 260;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;

// 100-nanosecond intervals since 1601-01-01T00:00:00, split into two 32-bit halves.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// A calendar reading: wMonth 1..12, wDayOfWeek 0 = Sunday, wDay 1..31.
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// One directory entry. cFileName holds MAX_PATH wide characters, terminator included.
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    wchar_t cFileName[MAX_PATH];
    wchar_t cAlternateFileName[14];
};

// Converts a calendar reading to a FILETIME, as the Windows call does: wDayOfWeek is ignored,
// a field out of range (month 0 or 13, April 31, February 29 of a common year, hour 24, a year
// before 1601 or after 30827) makes it return 0 and leave *fileTime alone; otherwise non-zero.
RKCURL_API BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime);

// The inverse, for hosts that show listing times: a FILETIME with the top bit set gives 0.
RKCURL_API BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);

#endif
