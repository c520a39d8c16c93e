// CRFTP's raw commands and the operations built on them. They run on the handle that the
// latest request left, so relative names resolve in that request's directory.
#include <RKLogging/RKLogging.h>
#include <curl/curl.h>

#include "RKCurl/CRFTP.h"
#include "RKCurl/TextConversion.h"
#include "connection/CurlOption.h"
#include "connection/PathComposition.h"
#include "ftp/FtpResources.h"

using oru::shared::error::RKERR_COMMAND;
using oru::shared::error::RKERR_DELETE_FILE;
using oru::shared::error::RKERR_GET_CURRENT_DIR;
using oru::shared::error::RKERR_REMOVE_DIR;
using oru::shared::error::RKERR_SET_OPTION;

namespace {

// The reply that counts as a removed directory even when the rest of the request failed.
constexpr char kDirectoryDeleted[] = "250 Directory deleted successfully";

std::string Narrow(const wchar_t* text) {
    return oru::helper::WideStrToNarStr(text != nullptr ? text : L"");
}

}  // namespace

int CRFTP::Command(const std::vector<std::string>& commands, int post) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::Command", nullptr);
    if (commands.empty()) return 0;

    const rkcurl::ftp::CommandList list(commands);
    m_header.clear();
    const CURLoption listOption = post != 0 ? CURLOPT_POSTQUOTE : CURLOPT_QUOTE;
    if (!rkcurl::SetCurlOption(*this, listOption, list.get()))
        return RecordFailure(RKERR_COMMAND, m_lastCurlCode);
    const rkcurl::ftp::QuoteListDetach detach(m_curl, listOption);  // before the list is freed

    if (!rkcurl::SetCurlOption(*this, CURLOPT_NOBODY, 1L))
        return RecordFailure(RKERR_SET_OPTION, m_lastCurlCode);
    m_lastCurlCode = curl_easy_perform(m_curl);
    if (m_lastCurlCode != CURLE_OK) return RecordFailure(RKERR_COMMAND, m_lastCurlCode);
    if (!rkcurl::SetCurlOption(*this, CURLOPT_NOBODY, 0L))
        return RecordFailure(RKERR_SET_OPTION, m_lastCurlCode);
    return 0;
}

int CRFTP::DeleteFileW(const wchar_t* path) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::DeleteFileW", nullptr);
    if (Command({"DELE " + Narrow(path)}, 0) == 0) return 0;
    return RecordFailure(RKERR_DELETE_FILE, m_lastCurlCode);
}

int CRFTP::RemoveDirectoryW(const wchar_t* path) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::RemoveDirectoryW", nullptr);
    if (Command({"RMD " + Narrow(path)}, 0) == 0) return 0;
    // The server confirmed the removal; what failed afterwards does not undo it.
    if (m_header.find(kDirectoryDeleted) != std::string::npos) return 0;
    return RecordFailure(RKERR_REMOVE_DIR, m_lastCurlCode);
}

int CRFTP::GetCurrentDirectoryW(wchar_t* buffer, DWORD* length) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::GetCurrentDirectoryW", nullptr);
    if (Command({"PWD "}, 0) != 0) return RecordFailure(RKERR_GET_CURRENT_DIR, m_lastCurlCode);

    rkcurl::path::EnsureDirectorySlash(m_href);
    const std::wstring directory = GetHREF();

    if (buffer == nullptr || length == nullptr || *length == 0) return 0;  // no room at all
    const std::size_t capacity = *length;
    if (directory.size() < capacity) {
        directory.copy(buffer, directory.size());
        buffer[directory.size()] = L'\0';
        *length = static_cast<DWORD>(directory.size() + 1);
    } else {
        directory.copy(buffer, capacity - 1);
        buffer[capacity - 1] = L'\0';
    }
    return 0;
}
