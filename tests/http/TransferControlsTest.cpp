// The connection's limits and certificate checks on real transfers, for both protocols: the
// same library code applies them to FTP and HTTP requests. What options each setter adds is
// in tests/unit/PrepareTest.cpp.
#include "HttpTestSupport.h"
#include "StallingServer.h"

namespace rktest {
namespace {

using TransferControlsTest = HttpServerTest;

// A server that never answers runs into the time limit; one that trickles (a byte a second)
// into the low-speed limit.
TEST_F(TransferControlsTest, LimitsEndStalledTransfers) {
    StallingServer silent;
    TestHttp client;
    client.SetServer(silent.Host().c_str());
    client.SetHREF(L"/page");
    client.SetTimeout(500);
    EXPECT_EQ(client.GetPage(), RKERR_PERFORM);
    EXPECT_EQ(client.Validate(), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_OPERATION_TIMEDOUT);

    TestHttp trickled = ClientFor(L"/trickle/30");
    trickled.SetLowSpeedLimit(100, 2);
    EXPECT_EQ(trickled.GetPage(), RKERR_PERFORM);
    EXPECT_EQ(trickled.m_error.whatEx(), CURLE_OPERATION_TIMEDOUT);
}

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
        {"trusted CA", Server(true).Host(), 1, ca, 0, 0},
        {"unknown CA", Server(true).Host(), 1, "", RKERR_PERFORM, CURLE_PEER_FAILED_VERIFICATION},
        {"other host name", L"localhost:" + std::to_wstring(Server(true).Port()), 1, ca,
         RKERR_PERFORM, CURLE_PEER_FAILED_VERIFICATION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Server(true).ClearRequests();
        TestHttp client = ClientFor(L"/page", true);
        client.SetServer(c.host.c_str());
        client.SetVerifyPeer(c.verify);
        client.SetCACertificateFile(Wide(c.caFile).c_str());
        EXPECT_EQ(client.GetPage(), c.code);
        EXPECT_EQ(client.m_error.whatEx(), c.extended);
        EXPECT_EQ(Recorded(true).size(), c.code == 0 ? 1u : 0u);  // refused in the handshake
    }
}

// With connection reuse on, a request that checks the certificate never runs on a connection
// that an unchecked request opened.
TEST_F(TransferControlsTest, ReusedConnectionIsNotTakenOverByACheckedRequest) {
    TestHttp client = ClientFor(L"/page", true);
    client.SetReuseConnections(1);
    ASSERT_EQ(client.GetPage(), 0);
    client.SetVerifyPeer(1);
    EXPECT_EQ(client.GetPage(), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_PEER_FAILED_VERIFICATION);
    client.SetCACertificateFile(Wide(Server(true).CertificatePath()).c_str());
    EXPECT_EQ(client.GetPage(), 0);
}

}  // namespace
}  // namespace rktest
