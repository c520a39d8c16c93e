// What CRHTTP keeps behind its state pointer: the opt-in request controls; at their defaults a
// request sets none of their options.
#pragma once

#include <string>
#include <vector>

namespace rkcurl {

struct HttpState {
    int plainGet = 0;
    long maxRedirects = 0;
    int allowRedirectToHttp = 0;       // an https request may be redirected to http
    std::vector<std::string> headers;  // UTF-8 lines, in the order they were added
};

}  // namespace rkcurl
