// The opt-in request controls of CRHTTP on real transfers (redirect following, added header
// lines, connection reuse) and the proxy choice, with the test server as the proxy.
#include <cstdlib>
#include <sstream>

#include "CurlInterposer.h"
#include "HttpTestSupport.h"

namespace rktest {
namespace {

using RequestControlsTest = HttpServerTest;

// Redirects are followed up to the limit, to http or https only, and from https to http only
// when allowed; GetSOAPPage follows on its own, and is held to the same once a limit is set.
TEST_F(RequestControlsTest, RedirectsFollowedWithinTheLimitAndOnHttpOnly) {
    const std::string plainPage = Server().Origin() + "/page";
    const std::string tlsPage = Server(true).Origin() + "/page";
    const std::string ftp = "/goto?url=ftp://127.0.0.1:1/f";
    const struct {
        const char* what;
        bool tls;
        bool soap;  // GetSOAPPage, else GetPage
        std::string href;
        long limit;
        int allowHttp;
        long extended;     // 0: the last page arrives
        const char* body;  // when it arrives
        std::size_t hops;  // requests the server saw
    } cases[] = {
        {"no limit set", false, false, "/chain/2", 0, 0, 0, "moved", 1},
        {"no limit set, SOAP", false, true, "/chain/2", 0, 0, 0, "end of chain", 3},
        {"two within two", false, false, "/chain/2", 2, 0, 0, "end of chain", 3},
        {"two over one", false, false, "/chain/2", 1, 0, CURLE_TOO_MANY_REDIRECTS, "", 2},
        {"two over one, SOAP", false, true, "/chain/2", 1, 0, CURLE_TOO_MANY_REDIRECTS, "", 2},
        {"http to ftp", false, false, ftp, 3, 1, CURLE_UNSUPPORTED_PROTOCOL, "", 1},
        {"https to ftp, http allowed", true, false, ftp, 3, 1, CURLE_UNSUPPORTED_PROTOCOL, "", 1},
        {"https to http", true, false, "/goto?url=" + plainPage, 3, 0, CURLE_UNSUPPORTED_PROTOCOL,
         "", 1},
        {"https to http, allowed", true, false, "/goto?url=" + plainPage, 3, 1, 0, "page body", 1},
        {"https to https, SOAP", true, true, "/goto?url=" + tlsPage, 3, 0, 0, "page body", 2},
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
        EXPECT_EQ(Recorded(c.tls).size(), c.hops);
    }
}

// One header list per request: the operation's own lines first, then the added ones in their
// order. After ClearHeaders only its own go out, also on the handle that carried the added ones.
TEST_F(RequestControlsTest, AddedLinesFollowTheOperationsOwn) {
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
        std::string seen;
        std::istringstream all(requests[i].headers);
        for (std::string line; std::getline(all, line);) {
            const std::string name = line.substr(0, line.find(':'));
            if (name == "connection" || name == "soapaction" || name.rfind("x-", 0) == 0)
                seen += line + "\n";
        }
        EXPECT_EQ(seen, lines) << sent.name << (i % 2 == 0 ? "" : " after ClearHeaders");
    }
}

// A proxied request reaches the test server with the whole URL as its target, a direct one
// with the path alone.
TEST_F(RequestControlsTest, ProxyChoiceRoutesTheRequest) {
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

}  // namespace
}  // namespace rktest
