// An in-process HTTP or HTTPS server on 127.0.0.1 and an ephemeral port, for tests of clients.
//
// One named handler per behaviour, each answering GET and POST alike:
//   /page          200, "page body"
//   /status/<n>    status n with the body "status <n>"
//   /gzip          200, the gzip-encoded text "decoded by the client" (Content-Encoding: gzip)
//   /bytes/<n>     200, n bytes of the pattern 'a'..'z' repeated (streamed, any size);
//                  "Range: bytes=<first>-" gets 206 and the rest, or 416 from the end on
//   /whole/<n>     the same bytes, always 200, whole and chunked: a server that ignores Range
//   /goto?url=<u>  302 to u
//   /discard       200, "ok": the request body is counted, not kept (for the benchmarks)
//   /getonly       200, "get only" to GET; 501 to any other method
//   /chain/<n>     302 to /chain/<n-1>; /chain/0 answers 200, "end of chain"
//   /loop          302 to itself
//   /trickle/<n>   200, n bytes sent one a second (chunked)
//   anything else  200, "ok"
// Every request is recorded: method, path, headers, and either the raw body or, for
// multipart/form-data, the parts in the order they arrived.
// HTTPS uses a self-signed certificate made at start-up in a temporary folder, removed at stop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace rktest {

struct RecordedPart {
    std::string name;
    std::string fileName;
    std::string content;
};

struct RecordedRequest {
    std::string method;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
    std::string body;                                          // empty for multipart
    std::uint64_t bodySize = 0;                                // bytes of body or parts read
    bool multipart = false;
    std::vector<RecordedPart> parts;

    // The first value of the named header (any case), or "".
    std::string Header(const std::string& name) const;
    std::size_t HeaderCount(const std::string& name) const;
};

// The pattern that /bytes/<n> serves: n bytes of 'a'..'z' repeated.
std::string PatternBytes(std::size_t n);

class HttpTestServer {
public:
    explicit HttpTestServer(bool tls);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // Binds, starts serving on a thread of its own and waits until it accepts connections.
    void Start();
    void Stop();

    int Port() const;
    // The PEM certificate of the HTTPS server (its own CA); "" for plain HTTP.
    std::string CertificatePath() const;
    // "127.0.0.1:<port>", the text a client takes as its server.
    std::wstring Host() const;

    std::vector<RecordedRequest> Requests() const;
    void ClearRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace rktest
