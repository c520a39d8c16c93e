// Where a tree's time goes inside libcurl: preloaded into tree_bench (or any program), this
// times every curl_multi_perform call, per multi handle, and when a multi handle that made
// more than 100 calls is cleaned up prints its wall time, the time spent inside the calls, and
// the part of it in calls longer than 1 ms. On a tree of small files a call that only does
// work returns well within 1 ms on this machine; a longer one is waiting for a reply
// (libcurl's FTP code reads a transfer's final reply, and the replies to the commands after
// it, blocking), and while it waits no other connection of the multi handle moves. Large
// files make long calls of work too.
//
//   LD_PRELOAD=build/default/bench/tree/libperform_clock.so build/default/bench/tree/tree_bench
#include <curl/curl.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <map>

namespace {

struct Calls {
    double first = 0;  // when the first call began
    double inside = 0;
    double blocked = 0;  // in calls over 1 ms
    double longest = 0;
    long count = 0;
    long blocking = 0;
};

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::map<CURLM*, Calls>& Handles() {
    static std::map<CURLM*, Calls> handles;
    return handles;
}

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    static const auto real = Next<CURLMcode (*)(CURLM*, int*)>("curl_multi_perform");
    Calls& calls = Handles()[multi];
    const double start = Now();
    if (calls.count++ == 0) calls.first = start;
    const CURLMcode code = real(multi, running);
    const double spent = Now() - start;
    calls.inside += spent;
    if (spent > 0.001) {
        calls.blocked += spent;
        ++calls.blocking;
        if (spent > calls.longest) calls.longest = spent;
    }
    return code;
}

extern "C" CURLMcode curl_multi_cleanup(CURLM* multi) {
    static const auto real = Next<CURLMcode (*)(CURLM*)>("curl_multi_cleanup");
    const auto found = Handles().find(multi);
    if (found != Handles().end()) {
        const Calls& c = found->second;
        if (c.count > 100) {
            std::printf(
                "    perform: wall %.3f s, %ld calls, %.3f s inside, %ld over 1 ms: %.3f s "
                "(longest %.1f ms)\n",
                Now() - c.first, c.count, c.inside, c.blocking, c.blocked, c.longest * 1000);
            std::fflush(stdout);
        }
        Handles().erase(found);
    }
    return real(multi);
}
