// The library's one seam into the public classes: their protected members and the state
// behind their state pointers. The classes befriend ConnectionAccess, declared opaquely in the
// public headers, so hosts deriving from them see nothing of the library's internals.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "RKCurl/CConnection.h"
#include "RKCurl/CRFTP.h"
#include "RKCurl/CRHTTP.h"

namespace rkcurl {

struct ConnectionState;
struct FtpState;
struct HttpState;

struct ConnectionAccess {
    static ConnectionState& State(CConnection& c) { return *c.m_state; }
    static const ConnectionState& State(const CConnection& c) { return *c.m_state; }
    static FtpState& State(CRFTP& ftp) { return *ftp.m_ftpState; }
    static const FtpState& State(const CRFTP& ftp) { return *ftp.m_ftpState; }
    static HttpState& State(CRHTTP& http) { return *http.m_httpState; }

    static CURL*& Handle(CConnection& c) { return c.m_curl; }
    static int& LastCurlCode(CConnection& c) { return c.m_lastCurlCode; }
    static oru::shared::error::CRKError& Error(CConnection& c) { return c.m_error; }
    static std::string& Response(CConnection& c) { return c.m_response; }
    static std::string& Header(CConnection& c) { return c.m_header; }
    static auto& ErrorBuffer(CConnection& c) { return c.m_curlErrorBuffer; }
    static int Secure(const CConnection& c) { return c.m_secure; }
    static int Debug(const CConnection& c) { return c.m_debug; }
    static CConnection::ProgressCallback Progress(const CConnection& c) {
        return c.m_progressCallback;
    }
    static int NeedAuthentication(const CConnection& c) { return c.m_needAuthentication; }
    static std::string& UserPassword(CConnection& c) { return c.m_userPassword; }
    static const std::wstring& UserName(const CConnection& c) { return c.m_userName; }
    static const std::wstring& Password(const CConnection& c) { return c.m_password; }
    static const std::wstring& Server(const CConnection& c) { return c.m_server; }
    static std::string& Href(CConnection& c) { return c.m_href; }
    static std::wstring GetHREF(const CConnection& c) { return c.GetHREF(); }
    // Stores url in the object's URL buffer and returns the buffer.
    static const char* StoreUrl(CConnection& c, const std::string& url) {
        c.StoreUrl(url);
        return c.m_urlBuffer;
    }
    static std::size_t WriteStream(char* data, std::size_t size, std::size_t count, void* text) {
        return static_cast<std::size_t>(
            CConnection::WriteStream(data, size, count, static_cast<std::string*>(text)));
    }

    // CRFTP's listing.
    static std::vector<WIN32_FIND_DATAW>& FindData(CRFTP& f) { return f.m_findData; }
    static std::uint64_t& FindIndex(CRFTP& f) { return f.m_findIndex; }
    static std::size_t ReadFunc(void* destination, std::size_t size, std::size_t count,
                                FILE* stream) {
        return CRFTP::ReadFunc(destination, size, count, stream);
    }

    // CRHTTP's inputs of a request.
    static std::map<std::wstring, std::wstring>& Fields(CRHTTP& h) { return h.m_multiPartFields; }
    static CRHTTP::WriteCallback& WriteCallback(CRHTTP& h) { return h.m_writeCallback; }
    static const std::string& SoapBody(const CRHTTP& h) { return h.m_soapPostData; }
    static const std::string& SoapHeader(const CRHTTP& h) { return h.m_soapHeader; }
};

}  // namespace rkcurl
