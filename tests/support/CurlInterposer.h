// Test-side stand-ins for libcurl entry points: each call is recorded and forwarded to the real
// libcurl (dlsym RTLD_NEXT), or failed on demand. Linked into a test executable, they take the
// place of libcurl's functions for the library code in that executable.
#pragma once

#include <curl/curl.h>

#include <string>
#include <vector>

namespace rktest {

struct SetoptCall {
    CURL* handle;
    int option;
    long number;          // options below 10000, and curl_off_t ones
    const void* pointer;  // object, string and blob options (function pointers are not kept)
};

class CurlInterposer {
public:
    // Forgets every record and failure plan; recording starts on.
    static void Reset();

    static std::vector<SetoptCall> Setopts();
    static std::vector<int> SetoptOptions();               // just the option numbers, in call order
    static std::vector<SetoptCall> SetoptsOf(int option);  // the calls that set option
    static int EasyInitCalls();
    static int EasyCleanupCalls();
    // Transfers started: curl_easy_perform, or a handle the library adds to a multi handle.
    static int PerformCalls();
    static int GlobalInitCalls();

    // The n-th (1-based) call that sets option fails with result, without reaching libcurl.
    static void FailSetopt(int option, CURLcode result, int occurrence = 1);
    static void FailEasyInit(bool fail);
    static void FailGlobalInit(CURLcode result);
    // Every perform until reset; a multi handle then refuses the library's handles.
    static void FailPerform(CURLcode result);
};

}  // namespace rktest
