// The one way the library sets an option on an object's easy handle: libcurl's result is
// stored in the object's m_lastCurlCode, as every option call of the library must.
#pragma once

#include <curl/curl.h>

#include "RKCurl/CConnection.h"
#include "connection/ConnectionAccess.h"

namespace rkcurl {

// Sets one option on connection's handle; true when libcurl took it.
template <typename Value>
bool SetOption(CConnection& connection, CURLoption option, Value value) {
    int& result = ConnectionAccess::LastCurlCode(connection);
    result = curl_easy_setopt(ConnectionAccess::Handle(connection), option, value);
    return result == CURLE_OK;
}

}  // namespace rkcurl
