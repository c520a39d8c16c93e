#include "HttpTestServer.h"

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "TestFiles.h"

namespace rktest {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Gzip(const std::string& text) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(compressBound(static_cast<uLong>(text.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// 64 KiB of the pattern plus one period, so any offset can be served as one contiguous chunk.
const std::string& PatternBlock() {
    static const std::string block = PatternBytes(64 * 1024 + 26);
    return block;
}

bool Serve(const httplib::Request& request, httplib::Response& response) {
    const std::string& path = request.path;
    const std::string octets = "application/octet-stream";
    if (path == "/page") {
        response.set_content("page body", octets);
    } else if (path.rfind("/status/", 0) == 0) {
        response.status = std::stoi(path.substr(8));
        response.set_content("status " + path.substr(8), octets);
    } else if (path == "/gzip") {
        response.set_header("Content-Encoding", "gzip");
        response.set_content(Gzip("decoded by the client"), octets);
    } else if (path.rfind("/bytes/", 0) == 0) {
        const std::size_t total = std::stoull(path.substr(7));
        // "Range: bytes=<first>-", as a resuming client asks: the rest from there, or 416 with
        // the length when nothing is left.
        std::size_t first = 0;
        if (std::sscanf(request.get_header_value("Range").c_str(), "bytes=%zu-", &first) == 1) {
            if (first >= total) {
                response.status = 416;
                response.set_header("Content-Range", "bytes */" + std::to_string(total));
                return true;
            }
            response.status = 206;
            response.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                     std::to_string(total - 1) + "/" +
                                                     std::to_string(total));
        }
        if (total == 0) {
            response.set_content("", octets);
            return true;
        }
        response.set_content_provider(
            total - first, octets,
            [first](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                const std::size_t chunk = std::min<std::size_t>(length, 64 * 1024);
                return sink.write(PatternBlock().data() + (first + offset) % 26, chunk);
            });
    } else if (path == "/getonly") {
        // A static server: anything but GET is not implemented.
        if (request.method != "GET") response.status = 501;
        response.set_content(request.method == "GET" ? "get only" : "not implemented", octets);
    } else if (path.rfind("/chain/", 0) == 0) {
        const int left = std::stoi(path.substr(7));
        if (left > 0) {
            response.status = 302;
            response.set_header("Location", "/chain/" + std::to_string(left - 1));
        }
        response.set_content(left > 0 ? "moved" : "end of chain", octets);
    } else if (path == "/loop") {
        response.status = 302;
        response.set_header("Location", "/loop");
        response.set_content("moved", octets);
    } else if (path.rfind("/trickle/", 0) == 0) {
        const std::size_t total = std::stoull(path.substr(9));
        response.set_chunked_content_provider(
            octets, [total](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= total) {
                    sink.done();
                    return true;
                }
                // One byte a second; a client that gave up ends the wait early.
                for (int i = 0; i < 20 && sink.is_writable(); ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
                return sink.is_writable() && sink.write(PatternBlock().data() + offset % 26, 1);
            });
    } else if (path.rfind("/whole/", 0) == 0) {
        // A server that knows nothing of ranges: the whole body with 200, Range or not, chunked
        // (no length announced).
        const std::size_t total = std::stoull(path.substr(7));
        response.set_chunked_content_provider(
            octets, [total](std::size_t offset, httplib::DataSink& sink) {
                const std::size_t chunk = std::min<std::size_t>(total - offset, 64 * 1024);
                if (chunk == 0) {
                    sink.done();
                    return true;
                }
                return sink.write(PatternBlock().data() + offset % 26, chunk);
            });
    } else if (path == "/goto") {
        response.status = 302;
        response.set_header("Location", request.get_param_value("url"));
        response.set_content("moved", octets);
    } else {
        response.set_content("ok", octets);
    }
    return true;
}

RecordedRequest Describe(const httplib::Request& request) {
    RecordedRequest recorded;
    recorded.method = request.method;
    recorded.path = request.path;
    for (const auto& header : request.headers) {
        recorded.headers.emplace_back(Lower(header.first), header.second);
    }
    return recorded;
}

}  // namespace

std::string PatternBytes(std::size_t n) {
    std::string bytes(n, '\0');
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

std::string RecordedRequest::Header(const std::string& name) const {
    const std::string key = Lower(name);
    for (const auto& header : headers) {
        if (header.first == key) return header.second;
    }
    return "";
}

std::size_t RecordedRequest::HeaderCount(const std::string& name) const {
    const std::string key = Lower(name);
    return static_cast<std::size_t>(std::count_if(
        headers.begin(), headers.end(),
        [&key](const std::pair<std::string, std::string>& h) { return h.first == key; }));
}

struct HttpTestServer::Impl {
    std::unique_ptr<TempDir> certificate;  // holds cert.pem and key.pem
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = 0;
    mutable std::mutex mutex;
    std::vector<RecordedRequest> requests;

    void Record(RecordedRequest request) {
        std::lock_guard<std::mutex> lock(mutex);
        requests.push_back(std::move(request));
    }

    void Install() {
        server->set_tcp_nodelay(true);  // no Nagle delay between response head and body
        server->set_keep_alive_max_count(1000000);
        server->set_write_timeout(300);  // a client may stall while it grows a large body
        server->set_payload_max_length(std::numeric_limits<std::size_t>::max());
        server->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            Record(Describe(request));
            // The server library would cut every body to the Range asked for by itself, wrongly
            // at or past its end (206 with a negative length) and over other statuses (a 404
            // becomes 416): /bytes answers ranges itself, the rest ignore them. The request is
            // the server's own object, not a constant one.
            const_cast<httplib::Request&>(request).ranges.clear();
            Serve(request, response);
        });
        server->Post(".*", [this](const httplib::Request& request, httplib::Response& response,
                                  const httplib::ContentReader& reader) {
            RecordedRequest recorded = Describe(request);
            const bool keep = request.path != "/discard";  // the benchmarks' large uploads
            if (request.is_multipart_form_data()) {
                recorded.multipart = true;
                reader(
                    [&recorded](const httplib::MultipartFormData& part) {
                        recorded.parts.push_back({part.name, part.filename, std::string()});
                        return true;
                    },
                    [&recorded, keep](const char* data, std::size_t length) {
                        recorded.bodySize += length;
                        if (keep && !recorded.parts.empty())
                            recorded.parts.back().content.append(data, length);
                        return true;
                    });
            } else {
                reader([&recorded, keep](const char* data, std::size_t length) {
                    recorded.bodySize += length;
                    if (keep) recorded.body.append(data, length);
                    return true;
                });
            }
            Record(std::move(recorded));
            Serve(request, response);
        });
    }
};

HttpTestServer::HttpTestServer(bool tls) : m_impl(new Impl) {
    if (tls) {
        m_impl->certificate.reset(new TempDir);
        MakeCertificate(m_impl->certificate->Path(), "127.0.0.1");
        m_impl->server.reset(new httplib::SSLServer(m_impl->certificate->Path("cert.pem").c_str(),
                                                    m_impl->certificate->Path("key.pem").c_str()));
    } else {
        m_impl->server.reset(new httplib::Server);
    }
    if (!m_impl->server->is_valid()) throw std::runtime_error("test server: invalid set-up");
    m_impl->Install();
}

std::string HttpTestServer::CertificatePath() const {
    return m_impl->certificate ? m_impl->certificate->Path("cert.pem") : std::string();
}

HttpTestServer::~HttpTestServer() {
    Stop();
}

void HttpTestServer::Start() {
    m_impl->port = m_impl->server->bind_to_any_port("127.0.0.1");
    if (m_impl->port <= 0) throw std::runtime_error("test server: cannot bind");
    httplib::Server* server = m_impl->server.get();
    m_impl->thread = std::thread([server] { server->listen_after_bind(); });
    while (!server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void HttpTestServer::Stop() {
    if (!m_impl->thread.joinable()) return;
    m_impl->server->stop();
    m_impl->thread.join();
}

int HttpTestServer::Port() const {
    return m_impl->port;
}

std::wstring HttpTestServer::Host() const {
    const std::string host = "127.0.0.1:" + std::to_string(m_impl->port);
    return std::wstring(host.begin(), host.end());
}

std::vector<RecordedRequest> HttpTestServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->requests;
}

void HttpTestServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->requests.clear();
}

}  // namespace rktest
