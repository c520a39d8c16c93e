// A concrete connection that opens the protected members to the tests.
#pragma once

#include "RKCurl/RKCurl.h"
#include "connection/ConnectionState.h"

class TestConnection : public CConnection {
public:
    int Validate() override { return m_error.m_code; }

    using CConnection::GetLastCurlError;
    using CConnection::m_curl;
    using CConnection::m_curlErrorBuffer;
    using CConnection::m_error;
    using CConnection::m_header;
    using CConnection::m_response;
    using CConnection::m_urlBuffer;
    using CConnection::m_userPassword;
    using CConnection::WriteStream;

    void ReleaseHandle() { rkcurl::ReleaseHandle(*this); }
};
