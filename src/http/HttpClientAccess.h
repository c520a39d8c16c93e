// The request sequence's view of a CRHTTP's inner state.
//
// CRHTTP befriends this struct, declared opaquely in the public header, so the public class
// names none of the library's internal types.
#pragma once

#include <curl/curl.h>

#include <map>
#include <string>

#include "RKCurl/CRHTTP.h"

namespace rkcurl {

struct HttpClientAccess {
    using Fields = std::map<std::wstring, std::wstring>;

    static int Secure(const CRHTTP& client) { return client.m_secure; }
    static CURL* Handle(CRHTTP& client) { return client.m_curl; }
    static int& LastCurlCode(CRHTTP& client) { return client.m_lastCurlCode; }
    static int LastCurlCode(const CRHTTP& client) { return client.m_lastCurlCode; }
    static Fields& MultiPartFields(CRHTTP& client) { return client.m_multiPartFields; }
    static int PlainGet(const CRHTTP& client) { return client.m_requestControls.plainGet; }
    static long MaxRedirects(const CRHTTP& client) { return client.m_requestControls.maxRedirects; }
    static const std::vector<std::string>& AddedHeaders(const CRHTTP& client) {
        return client.m_requestControls.headers;
    }
    static bool SetCertificateChecks(CRHTTP& client) { return client.SetCertificateChecks(); }
    static int RecordFailure(CRHTTP& client, int code, int extendedCode) {
        return client.RecordFailure(code, extendedCode);
    }
    static void ReleaseHandle(CRHTTP& client) { client.ReleaseHandle(); }
    static CRHTTP::WriteCallback& WriteCallbackSlot(CRHTTP& client) {
        return client.m_writeCallback;
    }
    static const std::string& SoapBody(const CRHTTP& client) { return client.m_soapPostData; }
    static const std::string& SoapHeader(const CRHTTP& client) { return client.m_soapHeader; }
};

}  // namespace rkcurl
