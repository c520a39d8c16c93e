#include "HttpTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace rktest {
namespace {

std::string HexDecoded(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

class PlainServerEnvironment : public ::testing::Environment {
    void SetUp() override { Server(false); }
};
const auto* const g_plain = ::testing::AddGlobalTestEnvironment(new PlainServerEnvironment);

const std::vector<int> kPage = {CURLOPT_HTTPPOST, CURLOPT_ACCEPT_ENCODING, CURLOPT_USERAGENT,
                                CURLOPT_HTTPHEADER};
const std::vector<int> kDownload = {CURLOPT_HTTPPOST, CURLOPT_WRITEFUNCTION, CURLOPT_WRITEDATA};
const std::vector<int> kSoap = {CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST, CURLOPT_POST,
                                CURLOPT_POSTFIELDS,     CURLOPT_USERAGENT,      CURLOPT_HTTPHEADER,
                                CURLOPT_FOLLOWLOCATION};
const std::vector<std::string> kForm = {"submit=send", "k=v"};
const std::vector<std::string> kBufferForm = {
    "file_buffer(file_buffer)=" + std::string("d\0\xFF", 3), "submit=send", "k=v"};
const std::vector<std::string> kFileForm = {"FileField(upload)=u", "submit=send", "k=v"};

}  // namespace

// name, trace name, options, parts, page headers, consumes fields, a refused form fails, plain
const std::vector<Operation> kOperations = {
    {"GetPage", "GetPage", kPage, kForm, true, false, false, true},
    {"GetSOAPPage", "GetSOAPPage", kSoap, {}, true, false, false, false},
    {"GetFile", "GetFile", kDownload, kForm, false, false, false, true},
    {"GetBulkFile", "GetBulkFile", kDownload, kForm, false, false, false, true},
    {"GetBuffer", "GetBuffer", kDownload, kForm, false, true, false, true},
    {"PostBuffer", "PostBuffer", {CURLOPT_HTTPPOST}, kBufferForm, false, true, true, false},
    {"PostFile", "PostPage", kPage, kFileForm, true, true, true, false},
};

std::string PatternBytes(std::size_t n) {
    std::string bytes(n, '\0');
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

std::string RecordedRequest::Header(const std::string& name) const {
    const std::regex line("(^|\n)" + name + ": ([^\n]*)");
    std::string values;
    for (std::sregex_iterator m(headers.begin(), headers.end(), line), end; m != end; ++m)
        values += (values.empty() ? "" : ", ") + (*m)[2].str();
    return values;
}

HttpTestServer::HttpTestServer(bool secure) : tls(secure) {
    std::vector<std::string> argv = {"/usr/bin/python3", RKCURL_HTTP_SERVER_SCRIPT,
                                     dir.Path("records")};
    if (tls) {
        MakeCertificate(dir.Path(), "127.0.0.1");
        argv.insert(argv.end(), {dir.Path("cert.pem"), dir.Path("key.pem")});
    }
    ClearRequests();
    const std::string output = dir.Path("server.out");
    process.reset(new ChildProcess(argv, output));
    for (int i = 0; i < 400 && ReadFile(output).find('\n') == std::string::npos; ++i) {
        if (!process->Running()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    port = std::atoi(ReadFile(output).c_str());
    if (port <= 0) throw std::runtime_error("test HTTP server: " + ReadFile(output));
}

std::vector<RecordedRequest> HttpTestServer::Requests() const {
    std::istringstream lines(ReadFile(dir.Path("records")));
    std::vector<RecordedRequest> requests;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<std::string> decoded;
        for (std::string field; std::getline(fields, field, '\t');)
            decoded.push_back(HexDecoded(field));
        requests.push_back({decoded[0], decoded[1], decoded[2], decoded[3],
                            std::vector<std::string>(decoded.begin() + 4, decoded.end())});
    }
    return requests;
}

HttpTestServer& Server(bool tls) {
    // Started from the main thread (above, or by a test): a server dies with its thread.
    static HttpTestServer plain(false);
    if (!tls) return plain;
    static HttpTestServer secure(true);  // its certificate costs an RSA key: only when used
    return secure;
}

TestHttp ClientFor(const std::wstring& path, bool tls) {
    TestHttp client;
    client.SetServer(Server(tls).Host().c_str());
    client.SetHREF(path.c_str());
    client.SetSecure(tls ? 1 : 0);
    // The whole suite runs a second time with connection reuse on.
    if (std::getenv("RKCURL_TEST_REUSE") != nullptr) client.SetReuseConnections(1);
    return client;
}

int Operation::Run(TestHttp& client, const TempDir& folder) const {
    static const unsigned char kData[] = {'d', 0, 0xFF};
    unsigned char block[64];
    const std::string op = name;
    std::uint64_t size = 0;
    WriteFile(folder.Path("upload"), "u");
    if (op == "GetFile") return client.GetFile(folder.WidePath(op).c_str());
    if (op == "GetBulkFile") return client.GetBulkFile(folder.WidePath(op).c_str(), size);
    if (op == "GetBuffer") return client.GetBuffer(sizeof block, block, size);
    if (op == "PostBuffer") return client.PostBuffer(kData, 3);
    if (op == "PostFile") return client.PostFile(folder.WidePath("upload").c_str(), nullptr);
    if (Soap()) client.SetSOAPPostData("<body/>");
    return Soap() ? client.GetSOAPPage() : client.GetPage();
}

}  // namespace rktest
