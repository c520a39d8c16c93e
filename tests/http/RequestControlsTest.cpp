// The opt-in request controls of CRHTTP on real transfers (plain GET, redirect following, added
// header lines, connection reuse) and the proxy choice, with the test server as the proxy.
#include <algorithm>
#include <cstdlib>

#include "CurlInterposer.h"
#include "HttpTestSupport.h"
#include "LogCapture.h"
#include "RKCurl/TextConversion.h"

namespace rktest {
namespace {

using RequestControlsTest = HttpServerTest;

// A static server answers 501 to the described POSTs; a plain GET fetches the file through
// every download operation and leaves the fields in the object.
TEST_F(RequestControlsTest, PlainGetFromAGetOnlyServer) {
    for (const Operation& op : kOperations) {
        for (const int plain : {0, 1}) {
            SCOPED_TRACE(std::string(op.name) + (plain ? ", plain GET" : ", described"));
            Server().ClearRequests();
            TestHttp client = ClientFor(L"/getonly");
            client.AddMultiPartField(L"k", L"v");
            client.SetPlainGet(plain);
            std::string body;
            const bool fetched = plain != 0 && op.mayGetPlain;
            EXPECT_EQ(op.Run(client, folder, &body), fetched ? 0 : RKERR_PERFORM);
            EXPECT_EQ(client.m_error.whatEx(), fetched ? 0 : CURLE_HTTP_RETURNED_ERROR);

            const RecordedRequest request = Recorded().at(0);
            EXPECT_EQ(request.method, fetched ? "GET" : "POST");
            if (fetched) {
                EXPECT_EQ(body, "get only");
                EXPECT_EQ(request.body, "");
                EXPECT_EQ(client.m_multiPartFields.size(), 1u);  // kept, not sent
            }
        }
    }
}

TEST_F(RequestControlsTest, RedirectsFollowedWithinTheLimit) {
    const struct {
        const char* path;
        long limit;
        int code;
        long extended;
        const char* body;  // for the operations that answer with the last page
        std::size_t hops;  // requests the server saw
        bool soapFollows;  // GetSOAPPage follows on its own without a limit
    } cases[] = {
        {"/chain/2", 0, 0, 0, "moved", 1, true},
        {"/chain/2", 2, 0, 0, "end of chain", 3, false},
        {"/chain/2", 1, RKERR_PERFORM, CURLE_TOO_MANY_REDIRECTS, nullptr, 2, false},
    };
    for (const auto& c : cases) {
        for (const Operation& op : kOperations) {
            SCOPED_TRACE(std::string(op.name) + " " + c.path + " within " +
                         std::to_string(c.limit));
            Server().ClearRequests();
            TestHttp client = ClientFor(oru::helper::NarStrToWideStr(c.path));
            client.SetFollowRedirects(c.limit);
            LogCapture log;
            std::string body;
            const int code = op.Run(client, folder, &body);
            if (op.Soap() && c.soapFollows) {
                EXPECT_EQ(code, 0);
                EXPECT_EQ(body, "end of chain");
                continue;
            }
            EXPECT_EQ(code, c.code);
            EXPECT_EQ(client.Validate(), c.code);
            EXPECT_EQ(client.m_error.whatEx(), c.extended);
            if (c.body != nullptr) {
                EXPECT_EQ(body, c.body);
            }
            EXPECT_EQ(Recorded().size(), c.hops);
            const std::vector<std::string> failures = log.Failures();
            const bool chained = std::count(failures.begin(), failures.end(),
                                            "M|Error Code : " + std::to_string(c.code) + " -- ");
            EXPECT_EQ(chained, c.code != 0);
        }
    }
}

// A followed redirect goes to http or https only, and from https to http only when allowed;
// GetSOAPPage's own following is held to the same once SetFollowRedirects is on.
TEST_F(RequestControlsTest, FollowedRedirectsStayOnHttp) {
    const std::string plainPage =
        "http://" + oru::helper::WideStrToNarStr(Server().Host()) + "/page";
    const std::string tlsPage =
        "https://" + oru::helper::WideStrToNarStr(Server(true).Host()) + "/page";
    const struct {
        const char* what;
        bool tls;
        std::string target;
        int allowHttp;
        int code;
        int extended;
    } cases[] = {
        {"http to ftp", false, "ftp://127.0.0.1:1/f", 0, RKERR_PERFORM, CURLE_UNSUPPORTED_PROTOCOL},
        {"https to ftp, http allowed", true, "ftp://127.0.0.1:1/f", 1, RKERR_PERFORM,
         CURLE_UNSUPPORTED_PROTOCOL},
        {"https to http", true, plainPage, 0, RKERR_PERFORM, CURLE_UNSUPPORTED_PROTOCOL},
        {"https to http, allowed", true, plainPage, 1, 0, 0},
        {"https to https", true, tlsPage, 0, 0, 0},
    };
    for (const auto& c : cases) {
        for (const bool soap : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (soap ? ", GetSOAPPage" : ", GetPage"));
            TestHttp client =
                ClientFor(L"/goto?url=" + oru::helper::NarStrToWideStr(c.target), c.tls);
            client.SetPlainGet(1);
            client.SetFollowRedirects(3);
            client.SetAllowRedirectToHttp(c.allowHttp);
            EXPECT_EQ(soap ? client.GetSOAPPage() : client.GetPage(), c.code);
            EXPECT_EQ(client.m_error.whatEx(), c.extended);
            EXPECT_EQ(client.m_response, c.code == 0 ? "page body" : "");
        }
    }
}

// The lines of the header list libcurl was given last, read while the transfer runs (the list
// is freed when the request returns).
std::vector<std::string> g_listLines;
int ReadHeaderList(void*, double, double, double, double) {
    const std::vector<SetoptCall> lists = CurlInterposer::SetoptsOf(CURLOPT_HTTPHEADER);
    if (!g_listLines.empty() || lists.empty()) return 0;
    for (auto* l = static_cast<const curl_slist*>(lists.back().pointer); l; l = l->next) {
        g_listLines.push_back(l->data);
    }
    return 0;
}

// One list per request: the operation's own lines first, then the added ones in their order.
// They reach the server as given; after ClearHeaders only the operation's own lines go out.
// With reuse on, the handle that served the previous request carries none of them over.
TEST_F(RequestControlsTest, AddedLinesFollowTheOperationsOwnInOneList) {
    const std::vector<std::string> added = {"X-A: 1", "X-B: zwei \xc3\xa4"};
    for (const Operation& op : kOperations) {
        SCOPED_TRACE(op.name);
        CurlInterposer::Reset();
        Server().ClearRequests();
        g_listLines.clear();
        TestHttp client = ClientFor(L"/page");
        client.SetReuseConnections(1);
        client.SetSOAPHeader("SOAPAction: act");
        client.AddHeader(L"X-A: 1");
        client.AddHeader(L"X-B: zwei \u00e4");
        client.SetProgressCallback(&ReadHeaderList);
        ASSERT_EQ(op.Run(client, folder), 0);
        std::vector<std::string> lines;
        if (op.pageHeaders) lines.push_back("Connection: Keep-Alive");
        if (op.Soap())
            lines.insert(lines.end(), {"Content-type: text/html; charset=UTF8", "SOAPAction: act"});
        lines.insert(lines.end(), added.begin(), added.end());
        EXPECT_EQ(CurlInterposer::SetoptsOf(CURLOPT_HTTPHEADER).size(), 1u);
        EXPECT_EQ(g_listLines, lines);

        client.ClearHeaders();
        for (const Operation& next : kOperations) ASSERT_EQ(next.Run(client, folder), 0);
        const std::vector<RecordedRequest> requests = Recorded();
        ASSERT_EQ(requests.size(), 1 + kOperations.size());
        EXPECT_EQ(requests[0].Header("x-b"), "zwei \xc3\xa4");
        for (std::size_t i = 1; i < requests.size(); ++i) {
            const Operation& next = kOperations[i - 1];
            EXPECT_EQ(requests[i].Header("connection"), next.pageHeaders ? "Keep-Alive" : "");
            EXPECT_EQ(requests[i].Header("soapaction"), next.Soap() ? "act" : "");
            EXPECT_EQ(requests[i].Header("x-a") + requests[i].Header("x-b"), "");
        }
        EXPECT_EQ(CurlInterposer::EasyInitCalls(), 1);  // one handle served them all
    }
}

// Sets or removes an environment variable for the scope, restoring its old value at the end.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        if (m_had) m_old = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { m_had ? setenv(m_name, m_old.c_str(), 1) : unsetenv(m_name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    bool m_had = false;
    std::string m_old;
};

// The test server stands in for the proxy: a proxied request reaches it with the whole URL as
// its target, a direct one with the path alone.
TEST_F(RequestControlsTest, ProxyChoiceRoutesTheRequest) {
    const std::string origin = "http://" + oru::helper::WideStrToNarStr(Server().Host());
    const std::string proxyUrl = origin;  // any port: the proxy is the same server
    const std::wstring wideProxy = oru::helper::NarStrToWideStr(proxyUrl);
    const struct {
        const char* what;
        const wchar_t* proxy;  // SetProxy's argument; null is the default
        bool environment;      // http_proxy names the proxy
        bool proxied;
    } cases[] = {
        {"not set, no environment", nullptr, false, false},
        {"not set, environment honoured", nullptr, true, true},
        {"none, environment ignored", L"", true, false},
        {"the proxy's URL", wideProxy.c_str(), false, true},
    };
    const ScopedEnv noProxy("no_proxy", nullptr);
    const ScopedEnv noProxyUpper("NO_PROXY", nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScopedEnv environment("http_proxy", c.environment ? proxyUrl.c_str() : nullptr);
        Server().ClearRequests();
        TestHttp client = ClientFor(L"/page");
        client.SetPlainGet(1);
        client.SetProxy(c.proxy);
        ASSERT_EQ(client.GetPage(), 0);
        ASSERT_EQ(Recorded().size(), 1u);
        EXPECT_EQ(Recorded()[0].path, c.proxied ? origin + "/page" : "/page");
    }
}

}  // namespace
}  // namespace rktest
