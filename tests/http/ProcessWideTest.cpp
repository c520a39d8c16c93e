// The parts that every object of the process shares, under operations on several threads at
// once and under hostile log sinks: the failure of libcurl's initialisation, the logger, the
// connection cache of copies. Each test runs in a process of its own under ctest; the first
// one must also come first when the program runs as a whole, since the initialisation runs
// once per process. Built with ThreadSanitizer in CI.
#include <RKLogging/RKLogging.h>
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "CurlInterposer.h"
#include "HttpTestSupport.h"

namespace {

using rktest::ClientFor;
using rktest::CurlInterposer;

constexpr int kThreads = 6;
constexpr int kRoundsPerThread = 8;

// Runs work(thread index) on kThreads threads at once and waits for all of them.
template <typename Work>
void OnThreads(Work work) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
    for (std::thread& thread : threads) thread.join();
}

TEST(ProcessWide, InitFailureIsReportedOnceWhileOtherThreadsFail) {
    CurlInterposer::Reset();
    CurlInterposer::FailGlobalInit(CURLE_FAILED_INIT);
    std::atomic<int> records{0};
    LOGGER::CRKLog::SetSink([&records](const LOGGER::LogRecord&) { ++records; });

    std::atomic<int> initFailures{0};
    std::atomic<int> otherCodes{0};
    OnThreads([&](int) {
        for (int round = 0; round < kRoundsPerThread; ++round) {
            TestHttp client = ClientFor(L"/status/500");
            const int code = client.GetPage();
            if (code == oru::shared::error::RKERR_GLOBAL_INIT) {
                ++initFailures;
            } else if (code != oru::shared::error::RKERR_PERFORM) {
                ++otherCodes;
            }
        }
    });
    LOGGER::CRKLog::SetSink(nullptr);
    EXPECT_EQ(initFailures.load(), 1);
    EXPECT_EQ(otherCodes.load(), 0);
    EXPECT_GT(records.load(), kThreads * kRoundsPerThread);
}

// Each sink misbehaves in its own way on every record; the operations report exactly what they
// report with no sink, on every thread.
TEST(ProcessWide, HostileSinksChangeNothingAnOperationDoes) {
    const std::vector<LOGGER::Sink> sinks = {
        [](const LOGGER::LogRecord&) { throw std::runtime_error("sink failed"); },
        [](const LOGGER::LogRecord& record) {
            if (record.kind == LOGGER::LogKind::Exit) throw 42;  // from a destructor's record
        },
        [](const LOGGER::LogRecord& record) {
            LOGGER::g_RKLog.WriteLog(record.text.c_str(), LOGGER::SEV_INFO, "sink", 1, nullptr);
            LOGGER::g_RKLog.Log(L"%s", L"from the sink");
            LOGGER::CRKFuncLog nested(LOGGER::g_RKLog, "nested", nullptr);
        },
        [](const LOGGER::LogRecord& record) {
            // Replacing the sink from inside it, then putting a plain one back.
            LOGGER::CRKLog::SetSink([](const LOGGER::LogRecord&) {});
            if (record.kind == LOGGER::LogKind::Enter) throw std::bad_alloc();
        },
    };
    for (std::size_t s = 0; s < sinks.size(); ++s) {
        SCOPED_TRACE(s);
        LOGGER::CRKLog::SetSink(sinks[s]);
        std::atomic<int> wrong{0};
        OnThreads([&](int t) {
            for (int round = 0; round < 3; ++round) {
                TestHttp ok = ClientFor(L"/page");
                TestHttp failing = ClientFor(L"/status/404");
                if (ok.GetPage() != 0 || ok.m_response != "page body") ++wrong;
                if (failing.GetPage() != oru::shared::error::RKERR_PERFORM) ++wrong;
                if (failing.m_error.whatEx() != CURLE_HTTP_RETURNED_ERROR) ++wrong;
                (void)t;
            }
        });
        LOGGER::CRKLog::SetSink(nullptr);
        EXPECT_EQ(wrong.load(), 0);
    }
}

// Copies of one object share the connection cache; each copy runs on a thread of its own.
TEST(ProcessWide, CopiesWithReusedConnectionsRunOnSeveralThreads) {
    TestHttp original = ClientFor(L"/page");
    original.SetReuseConnections(1);
    ASSERT_EQ(original.GetPage(), 0);  // makes the cache that the copies take over

    std::vector<TestHttp> copies(kThreads, original);
    std::atomic<int> wrong{0};
    OnThreads([&](int t) {
        TestHttp& copy = copies[static_cast<std::size_t>(t)];
        for (int round = 0; round < kRoundsPerThread; ++round) {
            copy.ClearResponse();
            if (copy.GetPage() != 0 || copy.m_response != "page body") ++wrong;
        }
    });
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
