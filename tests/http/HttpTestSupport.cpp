#include "HttpTestSupport.h"

#include <cstdlib>
#include <memory>

#include "CurlInterposer.h"

namespace rktest {
namespace {

// Starts both servers once for the test program (plain, then TLS) and stops them at its end.
class HttpServersEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        for (const bool tls : {false, true}) {
            servers[tls].reset(new HttpTestServer(tls));
            servers[tls]->Start();
        }
    }
    void TearDown() override {
        for (auto& server : servers) server.reset();
    }

    std::unique_ptr<HttpTestServer> servers[2];
};

HttpServersEnvironment* const g_servers = static_cast<HttpServersEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new HttpServersEnvironment));

}  // namespace

HttpTestServer& Server(bool tls) {
    return *g_servers->servers[tls];
}

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

std::vector<RecordedRequest> Recorded(bool tls) {
    return Server(tls).Requests();
}

std::vector<std::string> Parts(const RecordedRequest& request) {
    std::vector<std::string> parts;
    for (const RecordedPart& part : request.parts) {
        const std::string file = part.fileName.empty() ? "" : "(" + part.fileName + ")";
        parts.push_back(part.name + file + "=" + part.content);
    }
    return parts;
}

void HttpServerTest::SetUp() {
    CurlInterposer::Reset();
    Server(false).ClearRequests();
    Server(true).ClearRequests();
}

}  // namespace rktest
