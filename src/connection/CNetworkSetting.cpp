// CNetworkSetting: where a client connects and as whom, and the buffer of the composed URL.
#include "RKCurl/CNetworkSetting.h"

#include <cstring>

#include "RKCurl/TextConversion.h"
#include "foundation/WideText.h"

using rkcurl::OrEmpty;

namespace {

char* NewUrlBuffer(std::size_t size) {
    char* buffer = new char[size];
    buffer[0] = '\0';
    return buffer;
}

}  // namespace

CNetworkSetting::CNetworkSetting()
    : m_needAuthentication(0),
      m_urlBuffer(NewUrlBuffer(kUrlBufferSize)),
      m_urlBufferSize(kUrlBufferSize) {}

// A copy gets a buffer of its own; the next preparation writes it before any use.
CNetworkSetting::CNetworkSetting(const CNetworkSetting& other)
    : m_server(other.m_server),
      m_userName(other.m_userName),
      m_password(other.m_password),
      m_needAuthentication(other.m_needAuthentication),
      m_href(other.m_href),
      m_urlBuffer(NewUrlBuffer(kUrlBufferSize)),
      m_urlBufferSize(kUrlBufferSize) {}

CNetworkSetting& CNetworkSetting::operator=(const CNetworkSetting& other) {
    if (this != &other) {
        m_server = other.m_server;
        m_userName = other.m_userName;
        m_password = other.m_password;
        m_needAuthentication = other.m_needAuthentication;
        m_href = other.m_href;
    }
    return *this;
}

CNetworkSetting::~CNetworkSetting() {
    delete[] m_urlBuffer;
}

int CNetworkSetting::SetServer(const wchar_t* server) {
    m_server = OrEmpty(server);
    return 0;
}

int CNetworkSetting::SetUserName(const wchar_t* userName) {
    m_userName = OrEmpty(userName);
    return 0;
}

int CNetworkSetting::SetPassword(const wchar_t* password) {
    m_password = OrEmpty(password);
    return 0;
}

int CNetworkSetting::SetHREF(const wchar_t* href) {
    m_href = oru::helper::WideStrToNarStr(OrEmpty(href));
    return 0;
}

int CNetworkSetting::SetNeedAuthentication(int needAuthentication) {
    m_needAuthentication = needAuthentication;
    return 0;
}

const wchar_t* CNetworkSetting::GetServer() const {
    return m_server.c_str();
}

std::wstring CNetworkSetting::GetHREF() const {
    return oru::helper::NarStrToWideStr(m_href);
}

void CNetworkSetting::StoreUrl(const std::string& url) {
    if (url.size() + 1 > m_urlBufferSize) {
        char* larger = new char[url.size() + 1];
        delete[] m_urlBuffer;
        m_urlBuffer = larger;
        m_urlBufferSize = url.size() + 1;
    }
    std::memcpy(m_urlBuffer, url.c_str(), url.size() + 1);
}
