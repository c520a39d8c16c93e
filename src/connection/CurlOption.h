// The library's way to set an option on a connection's easy handle.
//
// CConnection befriends ConnectionAccess, declared opaquely in the public header, so that hosts
// deriving from the public classes see nothing of libcurl's option calls.
#pragma once

#include <curl/curl.h>

#include "RKCurl/CConnection.h"

namespace rkcurl {

struct ConnectionAccess {
    // Sets one option on the handle and stores libcurl's result in m_lastCurlCode.
    template <typename Value>
    static bool SetOption(CConnection& connection, int option, Value value) {
        connection.m_lastCurlCode =
            curl_easy_setopt(connection.m_curl, static_cast<CURLoption>(option), value);
        return connection.m_lastCurlCode == CURLE_OK;
    }

    // The holder of the connection's handle when it was prepared with a shared connection
    // cache (SetReuseConnections), else null.
    static CurlHandleOwner* SharedCacheHandle(const CConnection& connection);
};

// Sets one option on connection's handle; true when libcurl took it.
template <typename Value>
bool SetCurlOption(CConnection& connection, int option, Value value) {
    return ConnectionAccess::SetOption(connection, option, value);
}

}  // namespace rkcurl
