#include "HttpTestSupport.h"

#include <cstdio>
#include <cstdlib>

#include "CurlInterposer.h"

namespace rktest {

HttpTestServer& Server(bool tls) {
    // Function-local statics, started from the main thread (below, or by a test): a server
    // dies with the thread that started it.
    static HttpTestServer plain(false);
    if (!tls) return plain;
    static HttpTestServer secure(true);  // its certificate costs an RSA key: only when used
    return secure;
}

namespace {

class PlainServerEnvironment : public ::testing::Environment {
    void SetUp() override { Server(false); }
};
const auto* const g_plain = ::testing::AddGlobalTestEnvironment(new PlainServerEnvironment);

}  // namespace

TestHttp ClientFor(const std::wstring& path, bool tls) {
    TestHttp client;
    client.SetServer(Server(tls).Host().c_str());
    client.SetHREF(path.c_str());
    client.SetSecure(tls ? 1 : 0);
    // The whole suite runs a second time with connection reuse on: every operation must then
    // behave the same on a handle that served the previous request.
    if (std::getenv("RKCURL_TEST_REUSE") != nullptr) client.SetReuseConnections(1);
    return client;
}

namespace {

const std::vector<int> kPage = {CURLOPT_HTTPPOST, CURLOPT_ACCEPT_ENCODING, CURLOPT_USERAGENT,
                                CURLOPT_HTTPHEADER};
const std::vector<int> kDownload = {CURLOPT_HTTPPOST, CURLOPT_WRITEFUNCTION, CURLOPT_WRITEDATA};
const std::vector<int> kSoap = {CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST, CURLOPT_POST,
                                CURLOPT_POSTFIELDS,     CURLOPT_USERAGENT,      CURLOPT_HTTPHEADER,
                                CURLOPT_FOLLOWLOCATION};
const std::string kBufferPart = "file_buffer(file_buffer)=" + std::string("d\0\xFF", 3);
const std::vector<std::string> kFormParts = {"submit=send", "k=v"};

}  // namespace

// name, trace name, options, parts, page headers, consumes fields, a refused form fails, plain
const std::vector<Operation> kOperations = {
    {"GetPage", "GetPage", kPage, kFormParts, true, false, false, true},
    {"GetSOAPPage", "GetSOAPPage", kSoap, {}, true, false, false, false},
    {"GetFile", "GetFile", kDownload, kFormParts, false, false, false, true},
    {"GetBulkFile", "GetBulkFile", kDownload, kFormParts, false, false, false, true},
    {"GetBuffer", "GetBuffer", kDownload, kFormParts, false, true, false, true},
    {"PostBuffer",
     "PostBuffer",
     {CURLOPT_HTTPPOST},
     {kBufferPart, "submit=send", "k=v"},
     false,
     true,
     true,
     false},
    {"PostFile",
     "PostPage",
     kPage,
     {"FileField(upload)=u", "submit=send", "k=v"},
     true,
     true,
     true,
     false},
};

int Operation::Run(TestHttp& client, const TempDir& folder, std::string* body) const {
    static const unsigned char kData[] = {'d', 0, 0xFF};
    const std::string op = name;
    const std::size_t before = client.m_response.size();
    std::uint64_t size = 0;
    int code = 0;
    std::string received;
    if (op == "GetFile" || op == "GetBulkFile") {
        const std::wstring path = folder.WidePath(op);
        code =
            op == "GetFile" ? client.GetFile(path.c_str()) : client.GetBulkFile(path.c_str(), size);
        received = ReadFile(folder.Path(op));
        std::remove(folder.Path(op).c_str());
    } else if (op == "GetBuffer") {
        unsigned char block[64];
        code = client.GetBuffer(sizeof block, block, size);
        received.assign(reinterpret_cast<const char*>(block), code == 0 ? size : 0);
    } else {
        WriteFile(folder.Path("upload"), "u");
        if (op == "GetPage") code = client.GetPage();
        if (op == "PostBuffer") code = client.PostBuffer(kData, 3);
        if (op == "PostFile") code = client.PostFile(folder.WidePath("upload").c_str(), nullptr);
        if (Soap()) {
            client.SetSOAPPostData("<body/>");
            code = client.GetSOAPPage();
        }
        received = client.m_response.substr(before);
    }
    if (body != nullptr) *body = received;
    return code;
}

void HttpServerTest::SetUp() {
    CurlInterposer::Reset();
    Server(false).ClearRequests();
}

}  // namespace rktest
