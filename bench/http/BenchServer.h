// The benchmark's HTTP server, in-process on 127.0.0.1 and an ephemeral port (cpp-httplib), fast
// enough that the client is what is measured:
//   /bytes/<n>   200, n bytes of 'a'..'z' repeated, streamed
//   /discard     200, "ok": the request body is read and dropped
//   anything else 200, "page body"
#pragma once

#include <memory>
#include <string>

class BenchServer {
public:
    BenchServer();  // serving on a thread of its own when it returns
    ~BenchServer();
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    int Port() const { return m_port; }
    std::wstring Host() const { return L"127.0.0.1:" + std::to_wstring(m_port); }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    int m_port = 0;
};
