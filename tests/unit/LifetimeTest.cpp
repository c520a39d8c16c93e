// Clients of static lifetime that hold a handle and a connection cache at exit: the interposer
// ends the process with status 70 on any libcurl call after libcurl's global cleanup.
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
