// Export macro of the RKCurl library.
//
// The library builds with hidden visibility; everything a host may call carries RKCURL_API.
// RKCURL_BUILDING is defined only while the library itself is compiled.
#pragma once

#if defined(_WIN32)
#if defined(RKCURL_BUILDING)
#define RKCURL_API __declspec(dllexport)
#else
#define RKCURL_API __declspec(dllimport)
#endif
#else
#define RKCURL_API __attribute__((visibility("default")))
#endif
