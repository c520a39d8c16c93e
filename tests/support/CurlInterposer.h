// Stand-ins for libcurl entry points, taking their place in the test executable that links them:
// each call is recorded and forwarded to the real libcurl (dlsym RTLD_NEXT), or failed on demand.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <vector>

namespace rktest {

struct SetoptCall {
    CURL* handle;
    int option;
    long number;          // options below 10000, and curl_off_t ones
    const void* pointer;  // object, string and blob options (function pointers are not kept)
};

// The call counts and the planned failures that the stand-ins read.
struct InterposerCounts {
    std::atomic<int> easyInits{0}, easyCleanups{0}, performs{0}, globalInits{0};
    std::atomic<bool> failEasyInit{false};
    std::atomic<CURLcode> failGlobalInit{CURLE_OK}, failPerform{CURLE_OK};
};
InterposerCounts& Counts();

class CurlInterposer {
public:
    // Forgets every record and failure plan (the count of global initialisations stays).
    static void Reset();

    static std::vector<SetoptCall> Setopts();
    static std::vector<int> SetoptOptions();               // just the option numbers, in call order
    static std::vector<SetoptCall> SetoptsOf(int option);  // the calls that set option
    static int EasyInitCalls() { return Counts().easyInits; }
    static int EasyCleanupCalls() { return Counts().easyCleanups; }
    // Transfers started: curl_easy_perform, or a handle the library adds to a multi handle.
    static int PerformCalls() { return Counts().performs; }
    static int GlobalInitCalls() { return Counts().globalInits; }

    // The n-th (1-based) call from now on that sets option fails with result, not reaching libcurl.
    static void FailSetopt(int option, CURLcode result, int occurrence = 1);
    static void FailEasyInit(bool fail) { Counts().failEasyInit = fail; }
    static void FailGlobalInit(CURLcode result) { Counts().failGlobalInit = result; }
    // Every perform until reset; a multi handle then refuses the library's handles.
    static void FailPerform(CURLcode result) { Counts().failPerform = result; }
};

}  // namespace rktest
