#define CURL_DISABLE_TYPECHECK
#include "CurlInterposer.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

namespace rktest {
namespace {

struct State {
    std::mutex mutex;
    std::vector<SetoptCall> setopts;
    std::map<int, std::pair<int, CURLcode>> failOption;  // option -> (occurrence, result)
    std::map<int, int> optionCounts;
    bool failEasyInit = false;
    CURLcode failGlobalInit = CURLE_OK;
    CURLcode failPerform = CURLE_OK;
    std::atomic<int> easyInits{0};
    std::atomic<int> easyCleanups{0};
    std::atomic<int> performs{0};
    std::atomic<int> globalInits{0};
};

// Set by libcurl's global cleanup; any later libcurl call through here ends the process with
// a message, so a test run notices a call that came too late even when libcurl would not.
std::atomic<bool> g_globalCleanupDone{false};

void RequireLibraryUp(const char* function) {
    if (!g_globalCleanupDone.load()) return;
    std::fprintf(stderr, "libcurl call after curl_global_cleanup: %s\n", function);
    std::fflush(stderr);
    std::_Exit(70);
}

State& S() {
    static State* state = new State;  // never destroyed: libcurl calls may come late at exit
    return *state;
}

template <typename Fn>
Fn Real(const char* name) {
    void* symbol = dlsym(RTLD_NEXT, name);
    return reinterpret_cast<Fn>(symbol);
}

}  // namespace

void CurlInterposer::Reset() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.setopts.clear();
    s.failOption.clear();
    s.optionCounts.clear();
    s.failEasyInit = false;
    s.failGlobalInit = CURLE_OK;
    s.failPerform = CURLE_OK;
    s.easyInits = s.easyCleanups = s.performs = 0;
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

int CurlInterposer::EasyInitCalls() {
    return S().easyInits;
}
int CurlInterposer::EasyCleanupCalls() {
    return S().easyCleanups;
}
int CurlInterposer::PerformCalls() {
    return S().performs;
}
int CurlInterposer::GlobalInitCalls() {
    return S().globalInits;
}

void CurlInterposer::FailSetopt(int option, CURLcode result, int occurrence) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().failOption[option] = {occurrence, result};
}

void CurlInterposer::FailEasyInit(bool fail) {
    S().failEasyInit = fail;
}
void CurlInterposer::FailGlobalInit(CURLcode result) {
    S().failGlobalInit = result;
}
void CurlInterposer::FailPerform(CURLcode result) {
    S().failPerform = result;
}

}  // namespace rktest

using rktest::RequireLibraryUp;
using rktest::S;

extern "C" {

CURLcode curl_global_init(long flags) {
    ++S().globalInits;
    if (S().failGlobalInit != CURLE_OK) return S().failGlobalInit;
    return rktest::Real<CURLcode (*)(long)>("curl_global_init")(flags);
}

void curl_global_cleanup(void) {
    RequireLibraryUp("curl_global_cleanup");
    rktest::Real<void (*)(void)>("curl_global_cleanup")();
    rktest::g_globalCleanupDone = true;
}

CURLSHcode curl_share_cleanup(CURLSH* share) {
    RequireLibraryUp("curl_share_cleanup");
    return rktest::Real<CURLSHcode (*)(CURLSH*)>("curl_share_cleanup")(share);
}

CURL* curl_easy_init(void) {
    RequireLibraryUp("curl_easy_init");
    ++S().easyInits;
    if (S().failEasyInit) return nullptr;
    return rktest::Real<CURL* (*)(void)>("curl_easy_init")();
}

void curl_easy_cleanup(CURL* handle) {
    RequireLibraryUp("curl_easy_cleanup");
    if (handle != nullptr) ++S().easyCleanups;
    rktest::Real<void (*)(CURL*)>("curl_easy_cleanup")(handle);
}

CURLcode curl_easy_perform(CURL* handle) {
    RequireLibraryUp("curl_easy_perform");
    ++S().performs;
    if (S().failPerform != CURLE_OK) return S().failPerform;
    return rktest::Real<CURLcode (*)(CURL*)>("curl_easy_perform")(handle);
}

namespace {

// True for a call from inside libcurl (its curl_easy_perform runs on the multi interface):
// such calls pass through untouched.
bool FromLibcurl(const void* caller) {
    static const void* const libcurl = [] {
        Dl_info info{};
        dladdr(reinterpret_cast<void*>(
                   rktest::Real<CURLMcode (*)(CURLM*, CURL*)>("curl_multi_add_handle")),
               &info);
        return info.dli_fbase;
    }();
    Dl_info info{};
    return dladdr(caller, &info) != 0 && info.dli_fbase == libcurl;
}

}  // namespace

// A transfer that the library runs on the multi interface counts as a perform. A planned
// perform failure makes the multi interface refuse the handle, so that the library's fallback,
// curl_easy_perform, fails as planned without reaching libcurl.
CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle) {
    RequireLibraryUp("curl_multi_add_handle");
    if (!FromLibcurl(__builtin_return_address(0))) {
        if (S().failPerform != CURLE_OK) return CURLM_BAD_EASY_HANDLE;
        ++S().performs;
    }
    return rktest::Real<CURLMcode (*)(CURLM*, CURL*)>("curl_multi_add_handle")(multi, handle);
}

// Options are told apart by libcurl's number ranges: long below 10000, object pointer from
// 10000, function pointer from 20000, curl_off_t from 30000, blob pointer from 40000.
CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    RequireLibraryUp("curl_easy_setopt");
    va_list args;
    va_start(args, option);
    rktest::SetoptCall call{handle, static_cast<int>(option), 0, nullptr, false};
    long number = 0;
    void* pointer = nullptr;
    curl_off_t offset = 0;
    void (*function)(void) = nullptr;
    const int kind = static_cast<int>(option) / 10000;
    if (kind == 0) {
        number = va_arg(args, long);
        call.number = number;
    } else if (kind == 1 || kind == 4) {
        pointer = va_arg(args, void*);
        call.pointer = pointer;
    } else if (kind == 2) {
        function = va_arg(args, void (*)(void));
        call.isFunction = true;
    } else {
        offset = va_arg(args, curl_off_t);
        call.number = static_cast<long>(offset);
    }
    va_end(args);

    CURLcode planned = CURLE_OK;
    {
        rktest::State& s = S();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.setopts.push_back(call);
        const int count = ++s.optionCounts[call.option];
        const auto plan = s.failOption.find(call.option);
        if (plan != s.failOption.end() && plan->second.first == count)
            planned = plan->second.second;
    }
    if (planned != CURLE_OK) return planned;

    using Setopt = CURLcode (*)(CURL*, CURLoption, ...);
    const Setopt real = rktest::Real<Setopt>("curl_easy_setopt");
    if (kind == 0) return real(handle, option, number);
    if (kind == 1 || kind == 4) return real(handle, option, pointer);
    if (kind == 2) return real(handle, option, function);
    return real(handle, option, offset);
}

}  // extern "C"
