#include "BenchServer.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <stdexcept>
#include <thread>

namespace {

// 64 KiB of the pattern plus one period, so any offset can be served as one contiguous chunk.
const std::string& PatternBlock() {
    static const std::string block = [] {
        std::string bytes(64 * 1024 + 26, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
        return bytes;
    }();
    return block;
}

void Serve(const httplib::Request& request, httplib::Response& response) {
    const std::string octets = "application/octet-stream";
    if (request.path.rfind("/bytes/", 0) != 0) {
        response.set_content(request.path == "/discard" ? "ok" : "page body", octets);
        return;
    }
    const std::size_t total = std::stoull(request.path.substr(7));
    response.set_content_provider(
        total, octets, [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            const std::size_t chunk = std::min<std::size_t>(length, 64 * 1024);
            return sink.write(PatternBlock().data() + offset % 26, chunk);
        });
}

}  // namespace

struct BenchServer::Impl {
    httplib::Server server;
    std::thread thread;
};

BenchServer::BenchServer() : m_impl(new Impl) {
    httplib::Server& server = m_impl->server;
    server.set_tcp_nodelay(true);  // no Nagle delay between response head and body
    server.set_keep_alive_max_count(1000000);
    server.set_payload_max_length(std::numeric_limits<std::size_t>::max());
    server.Get(".*", Serve);
    server.Post(".*", [](const httplib::Request& request, httplib::Response& response,
                         const httplib::ContentReader& reader) {
        // Large uploads: every byte is read, none kept.
        const auto drop = [](const char*, std::size_t) { return true; };
        if (request.is_multipart_form_data()) {
            reader([](const httplib::MultipartFormData&) { return true; }, drop);
        } else {
            reader(drop);
        }
        Serve(request, response);
    });
    m_port = server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) throw std::runtime_error("bench server: cannot bind");
    m_impl->thread = std::thread([&server] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

BenchServer::~BenchServer() {
    m_impl->server.stop();
    m_impl->thread.join();
}
