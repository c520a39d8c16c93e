// The opt-in controls on real transfers: the connection's limits, certificate checks and proxy
// (their options: tests/unit/PrepareTest.cpp), CRHTTP's redirects and added header lines.
#include <cstdlib>
#include <regex>

#include "HttpTestSupport.h"

namespace rktest {
namespace {

using ControlsTest = HttpServerTest;

// Redirects are followed up to the limit, to http or https only, and from https to http only
// when allowed; GetSOAPPage follows on its own, and is held to the same once a limit is set.
TEST_F(ControlsTest, RedirectsFollowedWithinTheLimitAndOnHttpOnly) {
    const std::string toPlain = "/goto?url=" + Server().Origin() + "/page";
    const std::string toTls = "/goto?url=" + Server(true).Origin() + "/page";
    const struct {
        const char* what;
        bool tls;
        bool soap;  // GetSOAPPage, else GetPage
        std::string href;
        long limit;
        int allowHttp;
        long extended;     // 0: the last page arrives
        const char* body;  // when it arrives
    } cases[] = {
        {"no limit set", false, false, "/chain/2", 0, 0, 0, "moved"},
        {"no limit set, SOAP", false, true, "/chain/2", 0, 0, 0, "end of chain"},
        {"two within two", false, false, "/chain/2", 2, 0, 0, "end of chain"},
        {"two over one", false, false, "/chain/2", 1, 0, CURLE_TOO_MANY_REDIRECTS, ""},
        {"two over one, SOAP", false, true, "/chain/2", 1, 0, CURLE_TOO_MANY_REDIRECTS, ""},
        {"http to ftp", false, false, "/goto?url=ftp://127.0.0.1:1/f", 3, 1,
         CURLE_UNSUPPORTED_PROTOCOL, ""},
        {"https to http", true, false, toPlain, 3, 0, CURLE_UNSUPPORTED_PROTOCOL, ""},
        {"https to http, allowed", true, false, toPlain, 3, 1, 0, "page body"},
        {"https to https, SOAP", true, true, toTls, 3, 0, 0, "page body"},
        {"https to https, http allowed", true, false, toTls, 3, 1, 0, "page body"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Server(c.tls).ClearRequests();
        TestHttp client = ClientFor(Wide(c.href), c.tls);
        client.SetPlainGet(1);
        client.SetFollowRedirects(c.limit);
        client.SetAllowRedirectToHttp(c.allowHttp);
        EXPECT_EQ(c.soap ? client.GetSOAPPage() : client.GetPage(), c.extended ? RKERR_PERFORM : 0);
        EXPECT_EQ(client.m_error.whatEx(), c.extended);
        EXPECT_EQ(client.m_response, c.body);
    }
}

// One header list per request: the operation's own lines first, then the added ones in their
// order. After ClearHeaders only its own go out, also on the handle that carried the added ones.
TEST_F(ControlsTest, AddedLinesFollowTheOperationsOwn) {
    static const std::regex kLine("(connection|soapaction|x-.): [^\n]*\n");
    TestHttp client = ClientFor(L"/page");
    client.SetReuseConnections(1);
    client.SetSOAPHeader("SOAPAction: act");
    for (const Operation& op : kOperations) {
        client.AddHeader(L"X-A: 1");
        client.AddHeader(L"X-B: zwei \u00e4");
        ASSERT_EQ(op.Run(client, folder), 0);
        client.ClearHeaders();
        ASSERT_EQ(op.Run(client, folder), 0);
    }
    EXPECT_EQ(CurlInterposer::EasyInitCalls(), 1);  // one handle served them all

    const std::vector<RecordedRequest> requests = Recorded();
    ASSERT_EQ(requests.size(), 2 * kOperations.size());
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const Operation& sent = kOperations[i / 2];
        std::string lines = sent.pageHeaders ? "connection: Keep-Alive\n" : "";
        if (sent.Soap()) lines += "soapaction: act\n";
        if (i % 2 == 0) lines += "x-a: 1\nx-b: zwei \xc3\xa4\n";
        const std::string all = requests[i].headers + "\n";
        std::string seen;
        for (std::sregex_iterator m(all.begin(), all.end(), kLine), end; m != end; ++m)
            seen += m->str();
        EXPECT_EQ(seen, lines) << sent.name << (i % 2 == 0 ? "" : " after ClearHeaders");
    }
}

// A proxied request reaches the test server with the whole URL as its target, a direct one
// with the path alone.
TEST_F(ControlsTest, ProxyChoiceRoutesTheRequest) {
    const std::string origin = Server().Origin();
    const std::wstring proxy = Wide(origin);  // the same server
    const struct {
        const char* what;
        const wchar_t* proxy;  // SetProxy's argument; null is the default
        bool environment;      // http_proxy names the proxy
        bool proxied;
    } cases[] = {
        {"not set, environment honoured", nullptr, true, true},
        {"none, environment ignored", L"", true, false},
        {"the proxy's URL", proxy.c_str(), false, true},
    };
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.environment ? setenv("http_proxy", origin.c_str(), 1) : unsetenv("http_proxy");
        Server().ClearRequests();
        TestHttp client = ClientFor(L"/page");
        client.SetPlainGet(1);
        client.SetProxy(c.proxy);
        ASSERT_EQ(client.GetPage(), 0);
        EXPECT_EQ(Recorded().at(0).path, c.proxied ? origin + "/page" : "/page");
    }
    unsetenv("http_proxy");
}

// A server that sends a byte a second runs into either limit long before its last byte.
TEST_F(ControlsTest, LimitsEndStalledTransfers) {
    TestHttp timed = ClientFor(L"/trickle/30");
    timed.SetTimeout(500);
    TestHttp slow = ClientFor(L"/trickle/30");
    slow.SetLowSpeedLimit(100, 2);
    for (TestHttp* client : {&timed, &slow}) {
        SCOPED_TRACE(client == &timed ? "time limit" : "low-speed limit");
        EXPECT_EQ(client->GetPage(), RKERR_PERFORM);
        EXPECT_EQ(client->m_error.whatEx(), CURLE_OPERATION_TIMEDOUT);
    }
}

// One client with connection reuse on: a checked request never runs on a connection that an
// unchecked one opened.
TEST_F(ControlsTest, VerifiedTlsOutcomes) {
    const std::string ca = Server(true).dir.Path("cert.pem");
    const std::wstring host = Server(true).Host();
    const std::wstring otherName = L"localhost:" + std::to_wstring(Server(true).port);
    const struct {
        const char* what;
        std::wstring host;
        int verify;
        std::string caFile;
        long extended;  // 0: success
    } cases[] = {
        {"checks off", host, 0, "", 0},
        {"unknown CA", host, 1, "", CURLE_PEER_FAILED_VERIFICATION},
        {"trusted CA", host, 1, ca, 0},
        {"other host name", otherName, 1, ca, CURLE_PEER_FAILED_VERIFICATION},
    };
    TestHttp client = ClientFor(L"/page", true);
    client.SetReuseConnections(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Server(true).ClearRequests();
        client.SetServer(c.host.c_str());
        client.SetVerifyPeer(c.verify);
        client.SetCACertificateFile(Wide(c.caFile).c_str());
        EXPECT_EQ(client.GetPage(), c.extended == 0 ? 0 : RKERR_PERFORM);
        EXPECT_EQ(client.m_error.whatEx(), c.extended);
        EXPECT_EQ(Recorded(true).size(), c.extended == 0 ? 1u : 0u);  // refused in the handshake
    }
}

}  // namespace
}  // namespace rktest
