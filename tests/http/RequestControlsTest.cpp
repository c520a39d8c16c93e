// The opt-in request controls of CRHTTP (plain GET, redirect following, added header lines) and
// the connection's limits and proxy choice on real HTTP transfers: the options each adds (seen
// through the test-side libcurl stand-ins) and what crosses the wire.
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "CurlInterposer.h"
#include "ForwardingProxy.h"
#include "HttpTestSupport.h"
#include "LogCapture.h"
#include "RKCurl/TextConversion.h"

namespace rktest {
namespace {

const unsigned char kData[] = {'d'};

// Every request operation, run on one client; the body each received, wherever it went.
struct Operation {
    const char* name;
    bool mayGetPlain;  // SetPlainGet applies
    bool ownHeaders;   // the operation sets a header list of its own
    bool soap;
    bool alwaysGet = false;  // a plain GET whatever SetPlainGet says

    int Run(TestHttp& client, const TempDir& folder, std::string& body) const {
        const std::string op = name;
        std::uint64_t size = 0;
        const std::size_t before = client.m_response.size();
        int code = 0;
        if (op == "GetPage") code = client.GetPage();
        if (op == "GetSOAPPage") code = client.GetSOAPPage();
        if (op == "PostBuffer") code = client.PostBuffer(kData, 1);
        if (op == "PostFile") {
            WriteFile(folder.Path("upload"), "u");
            code = client.PostFile(folder.WidePath("upload").c_str(), nullptr);
        }
        body = client.m_response.substr(before);
        if (op == "GetFile" || op == "GetBulkFile" || op == "GetFileTo") {
            const std::wstring path = folder.WidePath(op);
            code = op == "GetFile"     ? client.GetFile(path.c_str())
                   : op == "GetFileTo" ? client.GetFileTo(path.c_str(), 0)
                                       : client.GetBulkFile(path.c_str(), size);
            body = ReadFile(folder.Path(op));
            std::remove(folder.Path(op).c_str());
        }
        if (op == "GetBuffer") {
            unsigned char block[256];
            code = client.GetBuffer(sizeof block, block, size);
            body.assign(reinterpret_cast<const char*>(block), code == 0 ? size : 0);
        }
        return code;
    }
};

const Operation kOperations[] = {
    {"GetPage", true, true, false},      {"GetFile", true, false, false},
    {"GetBulkFile", true, false, false}, {"GetBuffer", true, false, false},
    {"GetSOAPPage", false, true, true},  {"PostBuffer", false, false, false},
    {"PostFile", false, true, false},    {"GetFileTo", false, false, false, true},
};

std::vector<int> Without(std::vector<int> options, const std::vector<int>& dropped) {
    options.erase(
        std::remove_if(options.begin(), options.end(),
                       [&](int o) { return std::count(dropped.begin(), dropped.end(), o); }),
        options.end());
    return options;
}

using RequestControlsTest = HttpServerTest;

// Each setter adds its own options after the operation's, or takes the form away, and nothing
// else; setters called with their defaults change nothing.
TEST_F(RequestControlsTest, EachSetterChangesOnlyItsOwnOptions) {
    const std::vector<int> kRedirect = {CURLOPT_FOLLOWLOCATION, CURLOPT_MAXREDIRS,
                                        CURLOPT_REDIR_PROTOCOLS_STR};
    const struct {
        const char* what;
        std::function<void(CRHTTP&)> set;
    } cases[] = {
        {"defaults",
         [](CRHTTP& c) {
             c.SetPlainGet(0), c.SetFollowRedirects(0), c.AddHeader(nullptr), c.AddHeader(L"");
             c.ClearHeaders();
         }},
        {"cleared headers", [](CRHTTP& c) { c.AddHeader(L"X-A: 1"), c.ClearHeaders(); }},
        {"plain GET", [](CRHTTP& c) { c.SetPlainGet(1); }},
        {"redirects", [](CRHTTP& c) { c.SetFollowRedirects(4); }},
        {"http allowed, no redirects", [](CRHTTP& c) { c.SetAllowRedirectToHttp(1); }},
        {"redirects, http allowed",
         [](CRHTTP& c) { c.SetFollowRedirects(4), c.SetAllowRedirectToHttp(1); }},
        {"headers", [](CRHTTP& c) { c.AddHeader(L"X-A: 1"); }},
    };
    for (const Operation& op : kOperations) {
        CurlInterposer::Reset();
        TestHttp plain = ClientFor(L"/page");
        std::string body;
        ASSERT_EQ(op.Run(plain, folder, body), 0);
        const std::vector<int> baseline = CurlInterposer::SetoptOptions();

        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(op.name) + ", " + c.what);
            CurlInterposer::Reset();
            TestHttp source = ClientFor(L"/page");
            c.set(source);
            TestHttp client(source);  // the controls travel with a copy
            ASSERT_EQ(op.Run(client, folder, body), 0);
            std::vector<int> expected = baseline;
            const std::string what = c.what;
            if (what == "plain GET" && op.mayGetPlain)
                expected = Without(baseline, {CURLOPT_HTTPPOST});
            if (what.rfind("redirects", 0) == 0) {
                expected.insert(expected.end(), op.soap ? kRedirect.begin() + 1 : kRedirect.begin(),
                                kRedirect.end());
            }
            if (what == "headers" && !op.ownHeaders) expected.push_back(CURLOPT_HTTPHEADER);
            EXPECT_EQ(CurlInterposer::SetoptOptions(), expected);
            if (what.rfind("redirects", 0) == 0) {
                EXPECT_EQ(CurlInterposer::SetoptsOf(CURLOPT_MAXREDIRS).at(0).number, 4);
                EXPECT_STREQ(
                    static_cast<const char*>(
                        CurlInterposer::SetoptsOf(CURLOPT_REDIR_PROTOCOLS_STR).at(0).pointer),
                    "http,https");
            }
        }
    }
}

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
            if (op.soap) client.SetSOAPPostData("<body/>");
            std::string body;
            const bool fetched = op.alwaysGet || (plain != 0 && op.mayGetPlain);
            EXPECT_EQ(op.Run(client, folder, body), fetched ? 0 : RKERR_PERFORM);
            EXPECT_EQ(client.m_error.whatEx(), fetched ? 0 : CURLE_HTTP_RETURNED_ERROR);

            const RecordedRequest request = Recorded().at(0);
            EXPECT_EQ(request.method, fetched ? "GET" : "POST");
            if (fetched) {
                EXPECT_EQ(body, "get only");
                EXPECT_EQ(request.bodySize, 0u);
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
        {"/chain/2", 5, 0, 0, "end of chain", 3, false},
        {"/chain/2", 1, RKERR_PERFORM, CURLE_TOO_MANY_REDIRECTS, nullptr, 2, false},
        {"/loop", 3, RKERR_PERFORM, CURLE_TOO_MANY_REDIRECTS, nullptr, 4, false},
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
            const int code = op.Run(client, folder, body);
            if (op.soap && c.soapFollows) {
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
        {"http to file", false, "file:///etc/passwd", 1, RKERR_PERFORM, CURLE_UNSUPPORTED_PROTOCOL},
        {"https to ftp, http allowed", true, "ftp://127.0.0.1:1/f", 1, RKERR_PERFORM,
         CURLE_UNSUPPORTED_PROTOCOL},
        {"https to http", true, plainPage, 0, RKERR_PERFORM, CURLE_UNSUPPORTED_PROTOCOL},
        {"https to http, allowed", true, plainPage, 1, 0, 0},
        {"https to https", true, tlsPage, 0, 0, 0},
        {"http to http", false, plainPage, 0, 0, 0},
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
TEST_F(RequestControlsTest, AddedLinesFollowTheOperationsOwnInOneList) {
    const std::vector<std::string> added = {"X-A: 1", "X-B: zwei \xc3\xa4"};
    for (const Operation& op : kOperations) {
        SCOPED_TRACE(op.name);
        CurlInterposer::Reset();
        Server().ClearRequests();
        g_listLines.clear();
        TestHttp client = ClientFor(L"/page");
        client.SetSOAPHeader("SOAPAction: act");
        client.AddHeader(L"X-A: 1");
        client.AddHeader(L"X-B: zwei \u00e4");
        client.SetProgressCallback(&ReadHeaderList);
        std::string body;
        ASSERT_EQ(op.Run(client, folder, body), 0);
        std::vector<std::string> lines;
        if (op.ownHeaders) lines.push_back("Connection: Keep-Alive");
        if (op.soap)
            lines.insert(lines.end(), {"Content-type: text/html; charset=UTF8", "SOAPAction: act"});
        lines.insert(lines.end(), added.begin(), added.end());
        EXPECT_EQ(CurlInterposer::SetoptsOf(CURLOPT_HTTPHEADER).size(), 1u);
        EXPECT_EQ(g_listLines, lines);

        client.ClearHeaders();
        ASSERT_EQ(op.Run(client, folder, body), 0);
        const std::vector<RecordedRequest> requests = Recorded();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0].Header("X-B"), "zwei \xc3\xa4");
        for (const RecordedRequest& request : requests) {
            EXPECT_EQ(request.Header("Connection"), op.ownHeaders ? "Keep-Alive" : "");
            EXPECT_EQ(request.Header("SOAPAction"), op.soap ? "act" : "");
        }
        EXPECT_EQ(requests[1].HeaderCount("X-A") + requests[1].HeaderCount("X-B"), 0u);
    }
}

// With reuse on, one handle serves every request of the object, reset in between: each
// operation, whatever ran before it, sends only its own lines and delivers its own body.
TEST_F(RequestControlsTest, AReusedHandleCarriesNothingIntoTheNextRequest) {
    TestHttp client = ClientFor(L"/page");
    client.SetReuseConnections(1);
    client.SetSOAPHeader("SOAPAction: act");
    const int initsBefore = CurlInterposer::EasyInitCalls();
    for (int round = 0; round < 2; ++round) {
        for (const Operation& op : kOperations) {
            SCOPED_TRACE(std::string(op.name) + " round " + std::to_string(round));
            Server().ClearRequests();
            std::string body;
            ASSERT_EQ(op.Run(client, folder, body), 0);
            if (op.mayGetPlain) {
                EXPECT_EQ(body, "page body");
            }
            const std::vector<RecordedRequest> requests = Recorded();
            ASSERT_EQ(requests.size(), 1u);
            EXPECT_EQ(requests[0].Header("SOAPAction"), op.soap ? "act" : "");
            EXPECT_EQ(requests[0].Header("Connection"), op.ownHeaders ? "Keep-Alive" : "");
        }
    }
    EXPECT_EQ(CurlInterposer::EasyInitCalls() - initsBefore, 1);
}

TEST_F(RequestControlsTest, TricklingServerRunsIntoTheLowSpeedLimit) {
    for (const Operation& op : {kOperations[0], kOperations[3]}) {
        SCOPED_TRACE(op.name);
        TestHttp client = ClientFor(L"/trickle/30");
        client.SetPlainGet(1);
        client.SetLowSpeedLimit(100, 2);
        std::string body;
        EXPECT_EQ(op.Run(client, folder, body), RKERR_PERFORM);
        EXPECT_EQ(client.m_error.whatEx(), CURLE_OPERATION_TIMEDOUT);
    }
}

// Sets or removes an environment variable for the scope, restoring its old value at the end.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        const char* old = std::getenv(name);
        if (old != nullptr) m_old = old;
        m_had = old != nullptr;
        Set(value);
    }
    ~ScopedEnv() { Set(m_had ? m_old.c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Set(const char* value) { value ? setenv(m_name, value, 1) : unsetenv(m_name); }
    const char* m_name;
    bool m_had = false;
    std::string m_old;
};

TEST_F(RequestControlsTest, ProxyChoiceRoutesTheRequest) {
    ForwardingProxy proxy;
    const std::wstring proxyUrl = oru::helper::NarStrToWideStr(proxy.Url());
    const struct {
        const char* what;
        const wchar_t* proxy;  // SetProxy's argument; null is the default
        bool environment;      // http_proxy names the proxy
        bool proxied;
    } cases[] = {
        {"not set, no environment", nullptr, false, false},
        {"not set, environment honoured", nullptr, true, true},
        {"none, environment ignored", L"", true, false},
        {"the proxy's URL", proxyUrl.c_str(), false, true},
    };
    const ScopedEnv noProxy("no_proxy", nullptr);
    const ScopedEnv noProxyUpper("NO_PROXY", nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScopedEnv environment("http_proxy", c.environment ? proxy.Url().c_str() : nullptr);
        const std::size_t before = proxy.Targets().size();
        Server().ClearRequests();
        TestHttp client = ClientFor(L"/page");
        client.SetPlainGet(1);
        client.SetProxy(c.proxy);
        ASSERT_EQ(client.GetPage(), 0);
        EXPECT_EQ(client.m_response, "page body");
        EXPECT_EQ(Recorded().size(), 1u);  // the origin saw it either way
        const std::vector<std::string> targets = proxy.Targets();
        ASSERT_EQ(targets.size() - before, c.proxied ? 1u : 0u);
        if (c.proxied) {
            EXPECT_EQ(targets.back(),
                      "http://" + oru::helper::WideStrToNarStr(Server().Host()) + "/page");
        }
    }
}

}  // namespace
}  // namespace rktest
