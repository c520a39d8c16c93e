// --noproxy: the hosts that go without the proxy.
#pragma once

#include <string>

namespace rktool {

// Whether the --noproxy list (comma-separated, "*" for every host, a leading "." ignored)
// names host or a domain it is in, as curl reads the list: "example.com" covers
// "www.example.com", never "badexample.com".
bool NoProxyFor(const std::string& list, const std::string& host);

}  // namespace rktool
