// A forwarding HTTP proxy on 127.0.0.1 and an ephemeral port: it takes GET requests in proxy
// form ("GET http://host:port/path"), fetches them from the origin and hands the answer back.
// Other methods are answered 501. It counts the requests it forwarded.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace rktest {

class ForwardingProxy {
public:
    ForwardingProxy();
    ~ForwardingProxy();
    ForwardingProxy(const ForwardingProxy&) = delete;
    ForwardingProxy& operator=(const ForwardingProxy&) = delete;

    // "http://127.0.0.1:<port>", the text a client takes as its proxy.
    std::string Url() const;
    // The request targets seen so far, in order.
    std::vector<std::string> Targets() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace rktest
