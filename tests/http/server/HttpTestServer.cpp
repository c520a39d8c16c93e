#include "HttpTestServer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace rktest {
namespace {

std::string PercentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool escape = text[i] == '%';
        out += escape ? static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)) : text[i];
        i += escape ? 2 : 0;
    }
    return out;
}

}  // namespace

std::string PatternBytes(std::size_t n) {
    std::string bytes(n, '\0');
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

std::string RecordedRequest::Header(const std::string& name) const {
    std::istringstream lines(headers);
    std::string values;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(name + ": ", 0) != 0) continue;
        values += (values.empty() ? "" : ", ") + line.substr(name.size() + 2);
    }
    return values;
}

HttpTestServer::HttpTestServer(bool tls) : m_tls(tls) {
    std::vector<std::string> argv = {"/usr/bin/python3", RKCURL_HTTP_SERVER_SCRIPT,
                                     m_dir.Path("records")};
    if (tls) {
        MakeCertificate(m_dir.Path(), "127.0.0.1");
        argv.insert(argv.end(), {m_dir.Path("cert.pem"), m_dir.Path("key.pem")});
    }
    WriteFile(m_dir.Path("records"), "");
    const std::string output = m_dir.Path("server.out");
    m_process.reset(new ChildProcess(argv, output));
    for (int i = 0; i < 400 && ReadFile(output).find('\n') == std::string::npos; ++i) {
        if (!m_process->Running()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_port = std::atoi(ReadFile(output).c_str());
    if (m_port <= 0) throw std::runtime_error("test HTTP server: " + ReadFile(output));
}

std::vector<RecordedRequest> HttpTestServer::Requests() const {
    std::istringstream lines(ReadFile(m_dir.Path("records")).substr(m_seen));
    std::vector<RecordedRequest> requests;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<std::string> decoded;
        for (std::string field; std::getline(fields, field, '\t');) {
            decoded.push_back(PercentDecoded(field));
        }
        decoded.resize(std::max<std::size_t>(decoded.size(), 4));
        requests.push_back({decoded[0], decoded[1], decoded[2], decoded[3],
                            std::vector<std::string>(decoded.begin() + 4, decoded.end())});
    }
    return requests;
}

void HttpTestServer::ClearRequests() {
    m_seen = ReadFile(m_dir.Path("records")).size();
}

}  // namespace rktest
