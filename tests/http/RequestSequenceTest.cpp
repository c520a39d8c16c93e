// Every request operation through one table: the options libcurl is given (seen through the
// test-side libcurl stand-ins), what crosses the wire, and what each kind of failure returns and
// leaves in the object.
#include <algorithm>

#include "CurlInterposer.h"
#include "HttpTestSupport.h"
#include "LogCapture.h"

namespace rktest {
namespace {

const char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.2; .NET CLR 1.1.4322)";
const unsigned char kData[] = {'d', 0, 0xFF};
const std::string kBufferPart = "file_buffer(file_buffer)=" + std::string("d\0\xFF", 3);
const std::vector<int> kTls = {CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST};
constexpr int kForm = CURLOPT_HTTPPOST;
constexpr int kWriter[] = {CURLOPT_WRITEFUNCTION, CURLOPT_WRITEDATA};
constexpr std::size_t kSharedOptions = 8;  // set by Prepare, before the operation's own

// One operation, run on a client holding the field k=v.
struct Operation {
    const char* name;
    const char* traceName;
    std::vector<int> options;        // after the shared ones (and the TLS ones when secure)
    std::vector<std::string> parts;  // on the wire
    bool pageHeaders;                // the fixed user agent and "Connection: Keep-Alive"
    bool consumesFields;
    bool formRefusalFails;

    bool Soap() const { return std::string(name) == "GetSOAPPage"; }  // checks always off
    bool Writes() const { return std::count(options.begin(), options.end(), kWriter[0]) != 0; }
    std::vector<int> Options(bool tls) const {
        std::vector<int> all = tls && !Soap() ? kTls : std::vector<int>{};
        all.insert(all.end(), options.begin(), options.end());
        return all;
    }
    int Run(TestHttp& client, const TempDir& folder) const {
        static std::uint64_t size = 0;
        static unsigned char block[64];
        const std::string op = name;
        if (op == "GetPage") return client.GetPage();
        if (op == "GetFile") return client.GetFile(folder.WidePath("file").c_str());
        if (op == "GetBulkFile") return client.GetBulkFile(folder.WidePath("bulk").c_str(), size);
        if (op == "GetBuffer") return client.GetBuffer(sizeof block, block, size);
        if (op == "PostBuffer") return client.PostBuffer(kData, 3);
        WriteFile(folder.Path("upload"), "u");
        if (op == "PostFile") return client.PostFile(folder.WidePath("upload").c_str(), nullptr);
        client.SetSOAPPostData("<body/>");
        return client.GetSOAPPage();
    }
};

const std::vector<int> kPage = {kForm, CURLOPT_ACCEPT_ENCODING, CURLOPT_USERAGENT,
                                CURLOPT_HTTPHEADER};
const std::vector<int> kDownload = {kForm, kWriter[0], kWriter[1]};
const std::vector<int> kSoap = {CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST, CURLOPT_POST,
                                CURLOPT_POSTFIELDS,     CURLOPT_USERAGENT,      CURLOPT_HTTPHEADER,
                                CURLOPT_FOLLOWLOCATION};
const std::vector<std::string> kFormParts = {"submit=send", "k=v"};

const std::vector<std::string> kBufferParts = {kBufferPart, "submit=send", "k=v"};
const std::vector<std::string> kFileParts = {"FileField(upload)=u", "submit=send", "k=v"};

// name, trace name after "CRHTTP::", options, parts, page headers, consumes fields, a refused
// form fails
const std::vector<Operation> kOperations = {
    {"GetPage", "GetPage", kPage, kFormParts, true, false, false},
    {"GetSOAPPage", "GetSOAPPage", kSoap, {}, true, false, false},
    {"GetFile", "GetFile", kDownload, kFormParts, false, false, false},
    {"GetBulkFile", "GetBulkFile", kDownload, kFormParts, false, false, false},
    {"GetBuffer", "GetBuffer", kDownload, kFormParts, false, true, false},
    {"PostBuffer", "PostBuffer", {kForm}, kBufferParts, false, true, true},
    {"PostFile", "PostPage", kPage, kFileParts, true, true, true},
};

class RequestSequenceTest : public HttpServerTest {
protected:
    static TestHttp Client(const std::wstring& path, bool tls) {
        TestHttp client = ClientFor(path, tls);
        client.AddMultiPartField(L"k", L"v");
        client.SetWriteCallbackFunc(&Sink);
        return client;
    }
    static std::vector<int> OwnOptions() {
        const std::vector<int> all = CurlInterposer::SetoptOptions();
        return std::vector<int>(all.begin() + std::min(all.size(), kSharedOptions), all.end());
    }
};

TEST_F(RequestSequenceTest, EachOperationOnTheWireAndInItsOptions) {
    for (const bool tls : {false, true}) {
        for (const Operation& op : kOperations) {
            SCOPED_TRACE(std::string(op.name) + (tls ? " over TLS" : ""));
            CurlInterposer::Reset();
            Server(tls).ClearRequests();
            TestHttp client = Client(L"/page", tls);
            LogCapture log;
            ASSERT_EQ(op.Run(client, folder), 0);
            EXPECT_EQ(OwnOptions(), op.Options(tls));
            EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);
            EXPECT_EQ(client.m_curl, nullptr);
            EXPECT_EQ(log.Traces().front(), std::string(">CRHTTP::") + op.traceName);
            EXPECT_EQ(log.Traces().back(), std::string("<CRHTTP::") + op.traceName);

            const RecordedRequest request = Recorded(tls).at(0);
            EXPECT_EQ(request.method, "POST");
            EXPECT_EQ(Parts(request), op.parts);
            EXPECT_EQ(request.Header("User-Agent"), op.pageHeaders ? kUserAgent : "");
            EXPECT_EQ(request.Header("Connection"), op.pageHeaders ? "Keep-Alive" : "");
            EXPECT_EQ(client.m_multiPartFields.size(), op.consumesFields ? 0u : 1u);
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
        {"host check, plain", false, CURLOPT_SSL_VERIFYHOST, 1, kRefused, RKERR_SET_OPTION},
        {"form", false, kForm, 1, CURLE_BAD_FUNCTION_ARGUMENT, RKERR_SET_OPTION},
        {"write function", false, kWriter[0], 2, kRefused, RKERR_SET_OPTION},
        {"write data", false, kWriter[1], 2, kRefused, RKERR_SET_OPTION},
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
            const std::vector<int> own = op.Options(f.tls);
            const bool sets =
                f.refused == CURLOPT_URL || std::count(own.begin(), own.end(), f.refused) != 0;
            const bool fails = f.refused == 0 ||
                               (f.code != 0 && sets && (f.refused != kForm || op.formRefusalFails));
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
