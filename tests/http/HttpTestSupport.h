// What the HTTP client tests share: the two servers (plain and TLS), a client subclass that
// opens the protected members, the table of request operations and a fixture.
#pragma once

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HttpTestServer.h"
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

// The plain or the TLS server, each started on first use and stopped when the program ends.
HttpTestServer& Server(bool tls = false);

// A client aimed at path on the plain server, or on the TLS one with tls set.
TestHttp ClientFor(const std::wstring& path, bool tls = false);

// The requests recorded since the fixture started (or the server's last ClearRequests).
inline std::vector<RecordedRequest> Recorded(bool tls = false) {
    return Server(tls).Requests();
}

// A write function that takes every byte.
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
    // Runs the operation (GetSOAPPage with a body: a POST); body is what it received, wherever
    // it went.
    int Run(TestHttp& client, const TempDir& folder, std::string* body = nullptr) const;
};
extern const std::vector<Operation> kOperations;

// Fixture for tests that talk to the servers: the interposer and the plain server's record
// start empty.
class HttpServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    TempDir folder;
};

}  // namespace rktest
