// The body and header sink that every prepared handle starts with, for the operations that
// put it back after a transfer that wrote elsewhere.
#pragma once

#include <cstddef>
#include <string>

#include "RKCurl/CConnection.h"

namespace rkcurl {

// libcurl's shape of CConnection::WriteStream: appends to the std::string that target points to.
struct StreamSink : CConnection {
    static std::size_t Write(char* data, std::size_t size, std::size_t count, void* target) {
        return static_cast<std::size_t>(
            WriteStream(data, size, count, static_cast<std::string*>(target)));
    }
};

}  // namespace rkcurl
