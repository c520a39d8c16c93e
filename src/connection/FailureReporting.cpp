// How a failure lands in the error record and the log: every failure of the library is
// recorded through RecordFailure, which stores the codes and hands them to SetErrorString.
#include <curl/curl.h>

#include <algorithm>
#include <cstring>

#include "RKCurl/CConnection.h"
#include "RKCurl/TextConversion.h"
#include "connection/ConnectionAccess.h"
#include "connection/NetworkLibrary.h"
#include "connection/RecordFailure.h"
#include "foundation/LogSites.h"

using oru::shared::error::rkerr_e;

namespace rkcurl {

int RecordFailure(CConnection& connection, int code, int extendedCode) {
    oru::shared::error::CRKError& error = ConnectionAccess::Error(connection);
    error.setErrorCD(static_cast<rkerr_e>(code), extendedCode);
    connection.SetErrorString(error.m_code, error.m_extendedCode, error);
    return error.m_code;
}

}  // namespace rkcurl

void CConnection::SetErrorString(int code, int extendedCode, oru::shared::error::CRKError& error) {
    const std::wstring description;  // the main message is always left empty
    rkcurl::ResetInitError();
    error.SetMessage(description);
    LOGGER::g_RKLog.WriteLog("Error Code : Error Desc", LOGGER::SEV_ERROR,
                             rkcurl::kLogFileConnection, rkcurl::kLogLineErrorReport, nullptr);
    LOGGER::g_RKLog.Log(L"Error Code : %d -- %s", code, description.c_str());
    if (extendedCode == 0) return;

    std::string text = curl_easy_strerror(static_cast<CURLcode>(extendedCode));
    text += '\n';
    std::string detail;
    GetLastCurlError(detail);
    text += detail;
    error.SetMessageEx(oru::helper::NarStrToWideStr(text));
    LOGGER::g_RKLog.Log("Extended Error %d : %s", extendedCode, text.c_str());
}

void CConnection::GetLastCurlError(char* buffer, std::size_t size) {
    const std::size_t n = std::min(size, sizeof m_curlErrorBuffer);
    if (n == 0) return;
    const std::size_t text = strnlen(m_curlErrorBuffer, n - 1);
    std::memcpy(buffer, m_curlErrorBuffer, text);
    std::memset(buffer + text, 0, n - text);
}

void CConnection::GetLastCurlError(std::string& text) {
    text.assign(m_curlErrorBuffer, strnlen(m_curlErrorBuffer, sizeof m_curlErrorBuffer));
}

void CConnection::ResetCurlErrorBuffer() {
    std::memset(m_curlErrorBuffer, 0, sizeof m_curlErrorBuffer);
}
