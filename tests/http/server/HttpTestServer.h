// The HTTP or HTTPS server of the client tests (http_server.py, whose header lists what each
// path answers), run as a child process on 127.0.0.1 and an ephemeral port.
// Every request it received is recorded: method, target, body, header lines and multipart parts.
// HTTPS uses a self-signed certificate for 127.0.0.1 made at start-up, removed with the server.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FtpTestServers.h"
#include "TestFiles.h"

namespace rktest {

struct RecordedRequest {
    std::string method;
    std::string path;  // the request target: the whole URL when sent to a proxy
    std::string body;
    std::string headers;             // "name: value" lines, names in lower case
    std::vector<std::string> parts;  // "name=content", file parts "name(file name)=content"

    // The values of the named header (name in lower case) joined by ", ", or "".
    std::string Header(const std::string& name) const;
};

// The bytes that /bytes/<n> serves: n bytes of 'a'..'z' repeated.
std::string PatternBytes(std::size_t n);

class HttpTestServer {
public:
    explicit HttpTestServer(bool tls);

    int Port() const { return m_port; }
    // "127.0.0.1:<port>", the text a client takes as its server.
    std::wstring Host() const { return L"127.0.0.1:" + std::to_wstring(m_port); }
    // "http://127.0.0.1:<port>", or https.
    std::string Origin() const {
        return (m_tls ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(m_port);
    }
    // The PEM certificate of the HTTPS server (its own CA); "" for plain HTTP.
    std::string CertificatePath() const { return m_tls ? m_dir.Path("cert.pem") : ""; }

    // The requests received since the last ClearRequests, in order.
    std::vector<RecordedRequest> Requests() const;
    void ClearRequests();

private:
    bool m_tls;
    int m_port = 0;
    std::size_t m_seen = 0;  // bytes of the record file already cleared
    TempDir m_dir;
    std::unique_ptr<ChildProcess> m_process;  // declared last: stopped before the files go
};

}  // namespace rktest
