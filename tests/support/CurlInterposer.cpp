#define CURL_DISABLE_TYPECHECK
#include "CurlInterposer.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

namespace rktest {
namespace {

struct State {
    std::mutex mutex;
    std::vector<SetoptCall> setopts;
    std::map<int, std::pair<int, CURLcode>> failOption;  // option -> (calls to go, result)
    InterposerCounts counts;
};

State& S() {
    static State* state = new State;  // never destroyed: libcurl calls may come late at exit
    return *state;
}

// Set by libcurl's global cleanup: a later libcurl call ends the process, even where libcurl
// itself would not notice.
std::atomic<bool> g_globalCleanupDone{false};

// The real libcurl function, once the library is known to be still up.
template <typename Fn>
Fn Real(const char* name) {
    if (g_globalCleanupDone.load()) {
        std::fprintf(stderr, "libcurl call after curl_global_cleanup: %s\n", name);  // unbuffered
        std::_Exit(70);
    }
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// True for a call from inside libcurl (its curl_easy_perform runs on the multi interface).
bool FromLibcurl(const void* caller) {
    Dl_info from{}, libcurl{};
    return dladdr(caller, &from) != 0 &&
           dladdr(dlsym(RTLD_NEXT, "curl_multi_add_handle"), &libcurl) != 0 &&
           from.dli_fbase == libcurl.dli_fbase;
}

}  // namespace

InterposerCounts& Counts() {
    return S().counts;
}

void CurlInterposer::Reset() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.setopts.clear();
    s.failOption.clear();
    s.counts.failEasyInit = false;
    s.counts.failGlobalInit = s.counts.failPerform = CURLE_OK;
    s.counts.easyInits = s.counts.easyCleanups = s.counts.performs = 0;
}

std::vector<SetoptCall> CurlInterposer::Setopts() {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().setopts;
}

std::vector<SetoptCall> CurlInterposer::SetoptsOf(int option) {
    std::vector<SetoptCall> calls;
    for (const SetoptCall& call : Setopts()) {
        if (call.option == option) calls.push_back(call);
    }
    return calls;
}

std::vector<int> CurlInterposer::SetoptOptions() {
    std::vector<int> options;
    for (const SetoptCall& call : Setopts()) options.push_back(call.option);
    return options;
}

void CurlInterposer::FailSetopt(int option, CURLcode result, int occurrence) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().failOption[option] = {occurrence, result};
}

}  // namespace rktest

using rktest::Counts;
using rktest::Real;

extern "C" {

CURLcode curl_global_init(long flags) {
    ++Counts().globalInits;
    if (Counts().failGlobalInit != CURLE_OK) return Counts().failGlobalInit;
    // Not checked: a late initialisation is libcurl's to refuse.
    return reinterpret_cast<CURLcode (*)(long)>(dlsym(RTLD_NEXT, "curl_global_init"))(flags);
}

void curl_global_cleanup(void) {
    Real<void (*)(void)>("curl_global_cleanup")();
    rktest::g_globalCleanupDone = true;
}

CURLSHcode curl_share_cleanup(CURLSH* share) {
    return Real<CURLSHcode (*)(CURLSH*)>("curl_share_cleanup")(share);
}

CURL* curl_easy_init(void) {
    ++Counts().easyInits;
    return Counts().failEasyInit ? nullptr : Real<CURL* (*)(void)>("curl_easy_init")();
}

void curl_easy_cleanup(CURL* handle) {
    if (handle != nullptr) ++Counts().easyCleanups;
    Real<void (*)(CURL*)>("curl_easy_cleanup")(handle);
}

CURLcode curl_easy_perform(CURL* handle) {
    ++Counts().performs;
    if (Counts().failPerform != CURLE_OK) return Counts().failPerform;
    return Real<CURLcode (*)(CURL*)>("curl_easy_perform")(handle);
}

// A transfer that the library runs on the multi interface counts as a perform. A planned
// perform failure makes the multi interface refuse the handle, so that the library's fallback,
// curl_easy_perform, fails as planned without reaching libcurl.
CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle) {
    const auto real = Real<CURLMcode (*)(CURLM*, CURL*)>("curl_multi_add_handle");
    if (!rktest::FromLibcurl(__builtin_return_address(0))) {
        if (Counts().failPerform != CURLE_OK) return CURLM_BAD_EASY_HANDLE;
        ++Counts().performs;
    }
    return real(multi, handle);
}

// Options are told apart by libcurl's number ranges: long below 10000, object pointer from
// 10000, function pointer from 20000, curl_off_t from 30000, blob pointer from 40000.
CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    const auto real = Real<CURLcode (*)(CURL*, CURLoption, ...)>("curl_easy_setopt");
    va_list args;
    va_start(args, option);
    rktest::SetoptCall call{handle, static_cast<int>(option), 0, nullptr};
    void (*function)(void) = nullptr;
    const int kind = static_cast<int>(option) / 10000;
    if (kind == 0) call.number = va_arg(args, long);
    if (kind == 1 || kind == 4) call.pointer = va_arg(args, void*);
    if (kind == 2) function = va_arg(args, void (*)(void));
    if (kind == 3) call.number = static_cast<long>(va_arg(args, curl_off_t));
    va_end(args);

    {
        rktest::State& s = rktest::S();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.setopts.push_back(call);
        const auto plan = s.failOption.find(call.option);
        if (plan != s.failOption.end() && --plan->second.first == 0) return plan->second.second;
    }
    if (kind == 0) return real(handle, option, call.number);
    if (kind == 1 || kind == 4) return real(handle, option, const_cast<void*>(call.pointer));
    if (kind == 2) return real(handle, option, function);
    return real(handle, option, static_cast<curl_off_t>(call.number));
}

}  // extern "C"
