// CNetworkSetting: where a client object connects and as whom.
//
// Holds the server ("host" or "host:port"), user name, password, the authentication switch and
// the HREF (the URL's path after the server, kept as UTF-8), plus the buffer in which the next
// request's URL is composed. Setters store texts unchanged (a null text counts as empty) and take
// effect at the next request. Public base of every client class; not synchronised.
#pragma once

#include <cstddef>
#include <string>

#include "RKCurl/Export.h"

class RKCURL_API CNetworkSetting {
public:
    static constexpr std::size_t kUrlBufferSize = 10240;  // grows for longer URLs

    CNetworkSetting();
    CNetworkSetting(const CNetworkSetting& other);
    CNetworkSetting& operator=(const CNetworkSetting& other);
    ~CNetworkSetting();

    int SetServer(const wchar_t* server);
    int SetUserName(const wchar_t* userName);
    int SetPassword(const wchar_t* password);
    int SetHREF(const wchar_t* href);                   // stored as UTF-8
    int SetNeedAuthentication(int needAuthentication);  // non-zero sends the credentials

    // Valid until the server changes or the object is destroyed.
    const wchar_t* GetServer() const;

protected:
    std::wstring GetHREF() const;

    // Copies the composed URL, terminator included, into m_urlBuffer, growing it when needed.
    void StoreUrl(const std::string& url);

    std::wstring m_server;
    std::wstring m_userName;
    std::wstring m_password;
    int m_needAuthentication;
    std::string m_href;
    char* m_urlBuffer;  // owned; the URL handed to libcurl by the last preparation

private:
    std::size_t m_urlBufferSize;
};
