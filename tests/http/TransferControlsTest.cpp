// The connection's limits and certificate checks on real transfers; the same library code
// applies them to FTP. The options each setter adds are checked in tests/unit/PrepareTest.cpp.
#include <functional>

#include "HttpTestSupport.h"

namespace rktest {
namespace {

using TransferControlsTest = HttpServerTest;

// A server that sends a byte a second runs into either limit long before its last byte.
TEST_F(TransferControlsTest, LimitsEndStalledTransfers) {
    const struct {
        const char* what;
        std::function<void(CRHTTP&)> set;
    } limits[] = {
        {"time limit", [](CRHTTP& c) { c.SetTimeout(500); }},
        {"low-speed limit", [](CRHTTP& c) { c.SetLowSpeedLimit(100, 2); }},
    };
    for (const auto& limit : limits) {
        SCOPED_TRACE(limit.what);
        TestHttp client = ClientFor(L"/trickle/30");
        limit.set(client);
        EXPECT_EQ(client.GetPage(), RKERR_PERFORM);
        EXPECT_EQ(client.m_error.whatEx(), CURLE_OPERATION_TIMEDOUT);
    }
}

// One client with connection reuse on: a checked request never runs on a connection that an
// unchecked one opened.
TEST_F(TransferControlsTest, VerifiedTlsOutcomes) {
    const std::string ca = Server(true).CertificatePath();
    const struct {
        const char* what;
        std::wstring host;
        int verify;
        std::string caFile;
        int code;
        long extended;
    } cases[] = {
        {"checks off", Server(true).Host(), 0, "", 0, 0},
        {"unknown CA", Server(true).Host(), 1, "", RKERR_PERFORM, CURLE_PEER_FAILED_VERIFICATION},
        {"trusted CA", Server(true).Host(), 1, ca, 0, 0},
        {"other host name", L"localhost:" + std::to_wstring(Server(true).Port()), 1, ca,
         RKERR_PERFORM, CURLE_PEER_FAILED_VERIFICATION},
    };
    TestHttp client = ClientFor(L"/page", true);
    client.SetReuseConnections(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Server(true).ClearRequests();
        client.SetServer(c.host.c_str());
        client.SetVerifyPeer(c.verify);
        client.SetCACertificateFile(Wide(c.caFile).c_str());
        EXPECT_EQ(client.GetPage(), c.code);
        EXPECT_EQ(client.m_error.whatEx(), c.extended);
        EXPECT_EQ(Recorded(true).size(), c.code == 0 ? 1u : 0u);  // refused in the handshake
    }
}

}  // namespace
}  // namespace rktest
