// Stand-ins for the Windows C runtime calls that the library makes.
//
// On Windows these are the runtime's own functions; here they map onto POSIX with the same
// contracts: the breakdown calls return a pointer to per-thread storage, and they refuse
// (return null for) times before 1970-01-01T00:00:00 UTC, as the Windows runtime does.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>

#if defined(_WIN32)
#include <time.h>
#else

typedef std::int64_t __time64_t;

// Current time in seconds since 1970-01-01T00:00:00 UTC; also stored in *out when not null.
__time64_t _time64(__time64_t* out);

// UTC breakdown of *t, or null when *t is negative or beyond the year 3000.
std::tm* _gmtime64(const __time64_t* t);

// Local-time breakdown of *t, or null under the same conditions as _gmtime64.
std::tm* _localtime64(const __time64_t* t);

// Opens a file named by wide text; the name reaches the file system as UTF-8.
std::FILE* _wfopen(const wchar_t* path, const wchar_t* mode);

#endif
