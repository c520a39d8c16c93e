// What the HTTP client tests share: the test server (http_server.py says what each path
// answers), a client with its protected members open, the table of request operations.
#pragma once

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "CurlInterposer.h"
#include "FtpTestServers.h"
#include "RKCurl/RKCurl.h"
#include "TestFiles.h"

class TestHttp : public CRHTTP {
public:
    using CRHTTP::m_curl;
    using CRHTTP::m_error;
    using CRHTTP::m_multiPartFields;
    using CRHTTP::m_response;
    using CRHTTP::m_soapPostData;
    using CRHTTP::m_writeCallback;
};

namespace rktest {

using oru::shared::error::RKERR_ABORTED;
using oru::shared::error::RKERR_FILE_OPEN;
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;

struct RecordedRequest {
    std::string method;
    std::string path;  // the request target: the whole URL when sent to a proxy
    std::string body;
    std::string headers;             // "name: value" lines, names in lower case
    std::vector<std::string> parts;  // "name=content", file parts "name(file name)=content"

    std::string Header(const std::string& name) const;  // its values joined by ", ", or ""
};

// The bytes that /bytes/<n> serves: n bytes of 'a'..'z' repeated.
std::string PatternBytes(std::size_t n);

// With tls, HTTPS with a self-signed certificate for 127.0.0.1, made at start-up.
struct HttpTestServer {
    explicit HttpTestServer(bool tls);
    std::wstring Host() const { return L"127.0.0.1:" + std::to_wstring(port); }
    std::string Origin() const {
        return std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port);
    }
    std::vector<RecordedRequest> Requests() const;  // since the last ClearRequests
    void ClearRequests() const { WriteFile(dir.Path("records"), ""); }

    bool tls;
    int port = 0;
    TempDir dir;                            // the records; the certificate as cert.pem
    std::unique_ptr<ChildProcess> process;  // declared last: stopped before the files go
};

// The plain or the TLS server, each started on first use and stopped when the program ends.
HttpTestServer& Server(bool tls = false);
TestHttp ClientFor(const std::wstring& path, bool tls = false);
inline std::vector<RecordedRequest> Recorded(bool tls = false) {
    return Server(tls).Requests();
}

inline size_t Sink(char*, size_t size, size_t count, void*) {
    return size * count;
}

// Every request operation of CRHTTP, for tables that run each of them the same way.
struct Operation {
    const char* name;
    const char* traceName;           // after "CRHTTP::"
    std::vector<int> options;        // its own, after Prepare's (and the TLS ones when secure)
    std::vector<std::string> parts;  // on the wire, for a client holding the field k=v
    bool pageHeaders;                // the fixed user agent and "Connection: Keep-Alive"
    bool consumesFields;
    bool formRefusalFails;
    bool mayGetPlain;  // SetPlainGet applies

    bool Soap() const { return std::string(name) == "GetSOAPPage"; }
    bool Writes() const {  // hands libcurl a write function of its own
        return std::count(options.begin(), options.end(), CURLOPT_WRITEFUNCTION) != 0;
    }
    int Run(TestHttp& client, const TempDir& folder) const;  // GetSOAPPage with a body
};
extern const std::vector<Operation> kOperations;

// The interposer and the plain server's record start empty.
class HttpServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        CurlInterposer::Reset();
        Server().ClearRequests();
    }
    TempDir folder;
};

}  // namespace rktest
