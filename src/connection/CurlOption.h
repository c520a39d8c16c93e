// The protocol classes' way to set an option on the connection's easy handle.
#pragma once

#include <curl/curl.h>

#include "RKCurl/CConnection.h"

template <typename Value>
bool CConnection::SetCurlOption(int option, Value value) {
    m_lastCurlCode = curl_easy_setopt(m_curl, static_cast<CURLoption>(option), value);
    return m_lastCurlCode == CURLE_OK;
}
