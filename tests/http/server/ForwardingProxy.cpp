#include "ForwardingProxy.h"

#include <httplib.h>

#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace rktest {

struct ForwardingProxy::Impl {
    httplib::Server server;
    std::thread thread;
    int port = 0;
    mutable std::mutex mutex;
    std::vector<std::string> targets;

    void Forward(const httplib::Request& request, httplib::Response& response) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            targets.push_back(request.path);
        }
        // Proxy form: the path is the whole URL, "http://host[:port]/rest".
        const std::string prefix = "http://";
        const std::string& target = request.path;
        const std::size_t slash = target.find('/', prefix.size());
        if (target.rfind(prefix, 0) != 0 || slash == std::string::npos) {
            response.status = 400;
            return;
        }
        const std::string authority = target.substr(prefix.size(), slash - prefix.size());
        httplib::Client origin("http://" + authority);
        httplib::Headers headers;
        for (const auto& header : request.headers) {
            if (header.first != "Host" && header.first != "Proxy-Connection")
                headers.insert(header);
        }
        const httplib::Result answer = origin.Get(target.substr(slash).c_str(), headers);
        if (!answer) {
            response.status = 502;
            return;
        }
        response.status = answer->status;
        response.set_content(answer->body, "application/octet-stream");
    }
};

ForwardingProxy::ForwardingProxy() : m_impl(new Impl) {
    Impl* const impl = m_impl.get();
    impl->server.Get(".*", [impl](const httplib::Request& request, httplib::Response& response) {
        impl->Forward(request, response);
    });
    impl->server.Post(
        ".*", [](const httplib::Request&, httplib::Response& response) { response.status = 501; });
    impl->port = impl->server.bind_to_any_port("127.0.0.1");
    if (impl->port <= 0) throw std::runtime_error("proxy: cannot bind");
    impl->thread = std::thread([impl] { impl->server.listen_after_bind(); });
    while (!impl->server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

ForwardingProxy::~ForwardingProxy() {
    m_impl->server.stop();
    m_impl->thread.join();
}

std::string ForwardingProxy::Url() const {
    return "http://127.0.0.1:" + std::to_string(m_impl->port);
}

std::vector<std::string> ForwardingProxy::Targets() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->targets;
}

}  // namespace rktest
