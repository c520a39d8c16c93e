#include "HttpTestSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "CurlInterposer.h"

namespace rktest {
namespace {

// Starts both servers once for the test program and stops them at its end.
class HttpServersEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        plain.reset(new HttpTestServer(false));
        plain->Start();
        tls.reset(new HttpTestServer(true));
        tls->Start();
    }
    void TearDown() override {
        tls.reset();
        plain.reset();
    }

    std::unique_ptr<HttpTestServer> plain;
    std::unique_ptr<HttpTestServer> tls;
};

HttpServersEnvironment* const g_servers = static_cast<HttpServersEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new HttpServersEnvironment));

}  // namespace

HttpTestServer& PlainServer() {
    return *g_servers->plain;
}
HttpTestServer& TlsServer() {
    return *g_servers->tls;
}

TestHttp ClientFor(const std::wstring& path, bool tls) {
    TestHttp client;
    client.SetServer((tls ? TlsServer() : PlainServer()).Host().c_str());
    client.SetHREF(path.c_str());
    client.SetSecure(tls ? 1 : 0);
    return client;
}

std::vector<RecordedRequest> Recorded(bool tls) {
    return (tls ? TlsServer() : PlainServer()).Requests();
}

TempFolder::TempFolder() {
    char pattern[] = "/tmp/rkcurl-http-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::wstring TempFolder::WidePath(const std::string& name) const {
    const std::string path = Path(name);
    return oru::helper::NarStrToWideStr(path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

void HttpServerTest::SetUp() {
    CurlInterposer::Reset();
    PlainServer().ClearRequests();
    TlsServer().ClearRequests();
}

}  // namespace rktest
