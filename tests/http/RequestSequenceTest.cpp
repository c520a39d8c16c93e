// CRHTTP's option contract, every request operation through one table: its options and what
// crosses the wire; what each request control adds; what each failure returns and leaves.
#include <algorithm>
#include <functional>

#include "HttpTestSupport.h"
#include "LogCapture.h"

namespace rktest {
namespace {

const char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.2; .NET CLR 1.1.4322)";
const std::vector<int> kTls = {CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST};
constexpr std::size_t kSharedOptions = 8;  // set by Prepare, before the operation's own

std::vector<int> Options(const Operation& op, bool tls) {
    std::vector<int> all = tls && !op.Soap() ? kTls : std::vector<int>{};  // SOAP: checks off
    all.insert(all.end(), op.options.begin(), op.options.end());
    return all;
}

TestHttp Client(const std::wstring& path, bool tls) {
    TestHttp client = ClientFor(path, tls);
    client.AddMultiPartField(L"k", L"v");
    client.SetWriteCallbackFunc(&Sink);
    return client;
}
std::vector<int> OwnOptions() {
    const std::vector<int> all = CurlInterposer::SetoptOptions();
    return std::vector<int>(all.begin() + std::min(all.size(), kSharedOptions), all.end());
}

using RequestSequenceTest = HttpServerTest;

// Each operation's own options after Prepare's, its trace, the handle let go, the request and
// what it leaves in the object; each request control adds only its own options after these (or
// takes the form away), none with its defaults, and travels with a copy.
TEST_F(RequestSequenceTest, EachOperationWithEachRequestControl) {
    const struct {
        const char* what;
        bool tls;
        std::function<void(CRHTTP&)> set;
    } cases[] = {
        {"none, over TLS", true, [](CRHTTP&) {}},
        {"defaults", false,
         [](CRHTTP& c) {
             c.SetPlainGet(0), c.SetFollowRedirects(0), c.AddHeader(nullptr), c.AddHeader(L"");
         }},
        {"plain GET", false, [](CRHTTP& c) { c.SetPlainGet(1); }},
        {"redirects", false, [](CRHTTP& c) { c.SetFollowRedirects(4); }},
        {"http allowed, no redirects", false, [](CRHTTP& c) { c.SetAllowRedirectToHttp(1); }},
        {"headers", false, [](CRHTTP& c) { c.AddHeader(L"X-A: 1"); }},
    };
    for (const Operation& op : kOperations) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(op.name) + ", " + c.what);
            CurlInterposer::Reset();
            Server(c.tls).ClearRequests();
            TestHttp source = Client(L"/page", c.tls);
            c.set(source);
            TestHttp client(source);
            LogCapture log;
            ASSERT_EQ(op.Run(client, folder), 0);
            std::vector<int> expected = Options(op, c.tls);
            const std::string what = c.what;
            const bool getPlain = what == "plain GET" && op.mayGetPlain;
            if (getPlain)
                expected.erase(std::find(expected.begin(), expected.end(), CURLOPT_HTTPPOST));
            if (what == "redirects") {
                if (!op.Soap()) expected.push_back(CURLOPT_FOLLOWLOCATION);  // SOAP sets its own
                expected.insert(expected.end(), {CURLOPT_MAXREDIRS, CURLOPT_REDIR_PROTOCOLS_STR});
            }
            if (what == "headers" && !op.pageHeaders) expected.push_back(CURLOPT_HTTPHEADER);
            EXPECT_EQ(OwnOptions(), expected);
            EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);
            EXPECT_EQ(client.m_curl, nullptr);
            const std::string trace = std::string("CRHTTP::") + op.traceName;
            EXPECT_EQ(log.Traces().front() + log.Traces().back(), ">" + trace + "<" + trace);

            // A plain GET sends no form, so it leaves the fields in the object.
            const RecordedRequest request = Recorded(c.tls).at(0);
            EXPECT_EQ(request.method, getPlain ? "GET" : "POST");
            EXPECT_EQ(request.parts, getPlain ? std::vector<std::string>{} : op.parts);
            EXPECT_EQ(request.Header("user-agent"), op.pageHeaders ? kUserAgent : "");
            EXPECT_EQ(client.m_multiPartFields.size(), op.consumesFields && !getPlain ? 0u : 1u);
            EXPECT_EQ(client.m_writeCallback, op.Writes() ? nullptr : &Sink);
        }
    }
}

TEST_F(RequestSequenceTest, EachFailureByOperation) {
    constexpr CURLcode kRefused = CURLE_UNKNOWN_OPTION;
    const struct {
        const char* what;
        bool tls;
        int refused;     // the option refused at its n-th setting; 0: the server answers 404
        int occurrence;  // 2 for the writer options: the operation's own after Prepare's
        CURLcode result;
        int code;  // 0: the refusal is ignored
    } failures[] = {
        {"none", false, 0, 0, CURLE_HTTP_RETURNED_ERROR, RKERR_PERFORM},
        {"in Prepare", false, CURLOPT_URL, 1, CURLE_OUT_OF_MEMORY, RKERR_SET_OPTION},
        {"peer check", true, CURLOPT_SSL_VERIFYPEER, 1, kRefused, RKERR_SET_OPTION},
        {"host check", true, CURLOPT_SSL_VERIFYHOST, 1, kRefused, RKERR_SET_OPTION},
        {"form", false, CURLOPT_HTTPPOST, 1, CURLE_BAD_FUNCTION_ARGUMENT, RKERR_SET_OPTION},
        {"write function", false, CURLOPT_WRITEFUNCTION, 2, kRefused, RKERR_SET_OPTION},
        {"write data", false, CURLOPT_WRITEDATA, 2, kRefused, RKERR_SET_OPTION},
        {"SOAP body", false, CURLOPT_POSTFIELDS, 1, CURLE_OUT_OF_MEMORY, RKERR_SET_OPTION},
        {"encodings", false, CURLOPT_ACCEPT_ENCODING, 1, kRefused, 0},
        {"user agent", false, CURLOPT_USERAGENT, 1, kRefused, 0},
        {"header list", false, CURLOPT_HTTPHEADER, 1, kRefused, 0},
        {"SOAP POST", false, CURLOPT_POST, 1, kRefused, 0},
        {"redirects", false, CURLOPT_FOLLOWLOCATION, 1, kRefused, 0},
    };
    for (const auto& f : failures) {
        for (const Operation& op : kOperations) {
            SCOPED_TRACE(std::string(op.name) + ", refused " + f.what);
            CurlInterposer::Reset();
            if (f.refused != 0) CurlInterposer::FailSetopt(f.refused, f.result, f.occurrence);
            TestHttp client = Client(f.refused == 0 ? L"/status/404" : L"/page", f.tls);
            const std::vector<int> own = Options(op, f.tls);
            const bool sets =
                f.refused == CURLOPT_URL || std::count(own.begin(), own.end(), f.refused) != 0;
            const bool fails =
                f.refused == 0 ||
                (f.code != 0 && sets && (f.refused != CURLOPT_HTTPPOST || op.formRefusalFails));
            const bool ran = !fails || f.refused == 0;
            EXPECT_EQ(op.Run(client, folder), fails ? f.code : 0);
            EXPECT_EQ(client.Validate(), fails ? f.code : 0);
            EXPECT_EQ(client.m_error.whatEx(), fails ? f.result : 0);
            EXPECT_EQ(CurlInterposer::PerformCalls(), ran ? 1 : 0);
            EXPECT_EQ(client.m_multiPartFields.size(), ran && op.consumesFields ? 0u : 1u);
            const bool ownWriter = op.Writes() && (ran || f.occurrence == 2);
            EXPECT_EQ(client.m_writeCallback, ownWriter ? nullptr : &Sink);
        }
    }
}

}  // namespace
}  // namespace rktest
