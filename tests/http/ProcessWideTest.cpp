// What the process shares (libcurl's initialisation, the logger, the connection cache of copies)
// under threads and hostile sinks; one process per test, the initialisation's test first.
#include <RKLogging/RKLogging.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "HttpTestSupport.h"

namespace {

using oru::shared::error::RKERR_GLOBAL_INIT;
using oru::shared::error::RKERR_PERFORM;
using rktest::ClientFor;

constexpr int kThreads = 6;

// Runs work(thread index) rounds times on each of kThreads threads at once; how often it failed.
template <typename Work>
int WrongOnThreads(int rounds, Work work) {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < rounds; ++round) wrong += work(t) ? 0 : 1;
        });
    }
    for (std::thread& thread : threads) thread.join();
    return wrong.load();
}

TEST(ProcessWide, InitFailureIsReportedOnceWhileOtherThreadsFail) {
    rktest::CurlInterposer::FailGlobalInit(CURLE_FAILED_INIT);
    std::atomic<int> initFailures{0};
    const int wrong = WrongOnThreads(8, [&](int) {
        const int code = ClientFor(L"/status/500").GetPage();
        initFailures += code == RKERR_GLOBAL_INIT ? 1 : 0;
        return code == RKERR_GLOBAL_INIT || code == RKERR_PERFORM;
    });
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(initFailures.load(), 1);
}

// The operations report exactly what they report with no sink, on every thread.
TEST(ProcessWide, HostileSinksChangeNothingAnOperationDoes) {
    const struct {
        const char* what;
        LOGGER::Sink sink;
    } sinks[] = {
        {"throws", [](const LOGGER::LogRecord&) { throw std::runtime_error("sink failed"); }},
        {"throws a non-exception from a destructor's record",
         [](const LOGGER::LogRecord& record) {
             if (record.kind == LOGGER::LogKind::Exit) throw 42;
         }},
        {"logs from inside",
         [](const LOGGER::LogRecord& record) {
             LOGGER::g_RKLog.WriteLog(record.text.c_str(), LOGGER::SEV_INFO, "sink", 1, nullptr);
             LOGGER::g_RKLog.Log(L"%s", L"from the sink");
             LOGGER::CRKFuncLog nested(LOGGER::g_RKLog, "nested", nullptr);
         }},
        {"replaces itself, then throws bad_alloc",
         [](const LOGGER::LogRecord& record) {
             LOGGER::CRKLog::SetSink([](const LOGGER::LogRecord&) {});
             if (record.kind == LOGGER::LogKind::Enter) throw std::bad_alloc();
         }},
    };
    for (const auto& s : sinks) {
        SCOPED_TRACE(s.what);
        LOGGER::CRKLog::SetSink(s.sink);
        const auto pageAndFailure = [](int) {
            TestHttp ok = ClientFor(L"/page");
            TestHttp failing = ClientFor(L"/status/404");
            return ok.GetPage() == 0 && ok.m_response == "page body" &&
                   failing.GetPage() == RKERR_PERFORM &&
                   failing.m_error.whatEx() == CURLE_HTTP_RETURNED_ERROR;
        };
        EXPECT_EQ(WrongOnThreads(3, pageAndFailure), 0);
        LOGGER::CRKLog::SetSink(nullptr);
    }
}

// Copies of one object share the connection cache, each on a thread of its own.
TEST(ProcessWide, CopiesWithReusedConnectionsRunOnSeveralThreads) {
    TestHttp original = ClientFor(L"/page");
    original.SetReuseConnections(1);
    ASSERT_EQ(original.GetPage(), 0);  // makes the cache that the copies take over
    std::vector<TestHttp> copies(kThreads, original);
    const auto page = [&copies](int t) {
        TestHttp& copy = copies[static_cast<std::size_t>(t)];
        copy.ClearResponse();
        return copy.GetPage() == 0 && copy.m_response == "page body";
    };
    EXPECT_EQ(WrongOnThreads(8, page), 0);
}

}  // namespace
