// The opt-in transfer controls: each setter adds only its own options (seen through the
// test-side libcurl stand-ins), and the limits, checks and proxy choice act on real transfers.
#include <algorithm>
#include <functional>

#include "CurlInterposer.h"
#include "HttpTestSupport.h"
#include "RKCurl/TextConversion.h"
#include "StallingServer.h"

namespace rktest {
namespace {

const std::vector<int> kNewOptions = {
    CURLOPT_CONNECTTIMEOUT_MS, CURLOPT_TIMEOUT_MS, CURLOPT_LOW_SPEED_LIMIT,
    CURLOPT_LOW_SPEED_TIME,    CURLOPT_CAINFO,     CURLOPT_PROXY,
    CURLOPT_SSLVERSION};

std::vector<int> WithoutNewOptions(std::vector<int> options) {
    options.erase(
        std::remove_if(options.begin(), options.end(),
                       [](int o) { return std::count(kNewOptions.begin(), kNewOptions.end(), o); }),
        options.end());
    return options;
}

using TransferControlsTest = HttpServerTest;

TEST_F(TransferControlsTest, EachSetterAddsOnlyItsOwnOptions) {
    const std::wstring ca = oru::helper::NarStrToWideStr(Server(true).CertificatePath());
    // verify: the peer and host checks libcurl is given; -1 for none set.
    const struct {
        const char* what;
        bool tls;
        std::function<void(CConnection&)> set;
        std::vector<std::pair<int, long>> added;  // option and number, in order
        std::pair<long, long> verify;
    } cases[] = {
        // clang-format off
        {"nothing", false, [](CConnection&) {}, {}, {-1, -1}},
        {"nothing, TLS", true, [](CConnection&) {}, {}, {0, 0}},
        {"connect timeout", false, [](CConnection& c) { c.SetConnectTimeout(700); },
         {{CURLOPT_CONNECTTIMEOUT_MS, 700}}, {-1, -1}},
        {"timeout", false, [](CConnection& c) { c.SetTimeout(900); },
         {{CURLOPT_TIMEOUT_MS, 900}}, {-1, -1}},
        {"low speed", false, [](CConnection& c) { c.SetLowSpeedLimit(10, 3); },
         {{CURLOPT_LOW_SPEED_LIMIT, 10}, {CURLOPT_LOW_SPEED_TIME, 3}}, {-1, -1}},
        {"zero limits", false,
         [](CConnection& c) { c.SetConnectTimeout(0), c.SetTimeout(0), c.SetLowSpeedLimit(0, 0); },
         {}, {-1, -1}},
        {"verify, TLS", true,
         [ca](CConnection& c) { c.SetVerifyPeer(1), c.SetCACertificateFile(ca.c_str()); },
         {{CURLOPT_CAINFO, 0}}, {1, 2}},
        {"CA file, TLS", true, [](CConnection& c) { c.SetCACertificateFile(L"/ca.pem"); },
         {{CURLOPT_CAINFO, 0}}, {0, 0}},
        {"empty CA file, TLS", true, [](CConnection& c) { c.SetCACertificateFile(L""); }, {},
         {0, 0}},
        {"no proxy", false, [](CConnection& c) { c.SetProxy(L""); }, {{CURLOPT_PROXY, 0}},
         {-1, -1}},
        {"null proxy", false, [](CConnection& c) { c.SetProxy(nullptr); }, {}, {-1, -1}},
        {"TLS versions, TLS", true, [](CConnection& c) { c.SetTlsVersions(12, 13); },
         {{CURLOPT_SSLVERSION, CURL_SSLVERSION_TLSv1_2 | CURL_SSLVERSION_MAX_TLSv1_3}}, {0, 0}},
        {"TLS versions, plain", false, [](CConnection& c) { c.SetTlsVersions(0, 12); }, {},
         {-1, -1}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CurlInterposer::Reset();
        TestHttp plain = ClientFor(L"/page", c.tls);
        ASSERT_EQ(plain.GetPage(), 0);
        const std::vector<int> baseline = CurlInterposer::SetoptOptions();
        EXPECT_EQ(WithoutNewOptions(baseline), baseline);

        CurlInterposer::Reset();
        TestHttp source = ClientFor(L"/page", c.tls);
        c.set(source);
        TestHttp client(source);  // the controls travel with a copy
        ASSERT_EQ(client.GetPage(), 0);
        const std::vector<int> options = CurlInterposer::SetoptOptions();
        EXPECT_EQ(WithoutNewOptions(options), baseline);
        std::vector<int> added;
        for (const int option : options) {
            if (std::count(kNewOptions.begin(), kNewOptions.end(), option)) added.push_back(option);
        }
        ASSERT_EQ(added.size(), c.added.size());
        for (std::size_t i = 0; i < added.size(); ++i) {
            EXPECT_EQ(added[i], c.added[i].first);
            if (added[i] < CURLOPTTYPE_OBJECTPOINT) {
                EXPECT_EQ(CurlInterposer::SetoptsOf(added[i]).at(0).number, c.added[i].second);
            }
        }
        const auto first = [](int option) {
            const std::vector<SetoptCall> calls = CurlInterposer::SetoptsOf(option);
            return calls.empty() ? -1 : calls[0].number;
        };
        EXPECT_EQ(std::make_pair(first(CURLOPT_SSL_VERIFYPEER), first(CURLOPT_SSL_VERIFYHOST)),
                  c.verify);
    }
}

TEST_F(TransferControlsTest, SilentServerTimesOut) {
    StallingServer silent;
    TestHttp client;
    client.SetServer(silent.Host().c_str());
    client.SetHREF(L"/page");
    client.SetTimeout(500);
    EXPECT_EQ(client.GetPage(), RKERR_PERFORM);
    EXPECT_EQ(client.Validate(), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_OPERATION_TIMEDOUT);
}

TEST_F(TransferControlsTest, VerifiedTlsOutcomes) {
    const std::string ca = Server(true).CertificatePath();
    const struct {
        const char* what;
        std::wstring host;
        std::string caFile;
        int code;
        long extended;
    } cases[] = {
        {"trusted CA", Server(true).Host(), ca, 0, 0},
        {"unknown CA", Server(true).Host(), "", RKERR_PERFORM, CURLE_PEER_FAILED_VERIFICATION},
        {"other host name", L"localhost:" + std::to_wstring(Server(true).Port()), ca, RKERR_PERFORM,
         CURLE_PEER_FAILED_VERIFICATION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestHttp client = ClientFor(L"/page", true);
        client.SetServer(c.host.c_str());
        client.SetVerifyPeer(1);
        client.SetCACertificateFile(oru::helper::NarStrToWideStr(c.caFile).c_str());
        EXPECT_EQ(client.GetPage(), c.code);
        EXPECT_EQ(client.m_error.whatEx(), c.extended);
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
    client.SetCACertificateFile(
        oru::helper::NarStrToWideStr(Server(true).CertificatePath()).c_str());
    EXPECT_EQ(client.GetPage(), 0);
}

}  // namespace
}  // namespace rktest
