// Client objects of static lifetime that still hold a handle and a connection cache when the
// process ends: libcurl's global cleanup comes only after their handles are cleaned up. The
// interposer ends the process with status 70 on any libcurl call after the global cleanup,
// so a regression fails this test at exit.
#include <gtest/gtest.h>

#include "CurlInterposer.h"
#include "TestConnection.h"

namespace {

// Constructed before the library's own process-wide object, so destroyed after it.
TestConnection g_lateClient;
TestConnection g_lateCopy;

TEST(Lifetime, ObjectsOfStaticLifetimeReleaseTheirHandlesBeforeGlobalCleanup) {
    rktest::CurlInterposer::Reset();
    g_lateClient.SetReuseConnections(1);
    ASSERT_EQ(g_lateClient.Prepare(L"ftp://"), 0);
    ASSERT_NE(g_lateClient.m_curl, nullptr);
    g_lateCopy = g_lateClient;  // shares the handle and the cache
    EXPECT_EQ(rktest::CurlInterposer::GlobalInitCalls(), 1);
}

}  // namespace
