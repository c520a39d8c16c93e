// CRFTP's directory navigation and creation: the HREF is the session's current directory.
#include <RKLogging/RKLogging.h>
#include <curl/curl.h>

#include "RKCurl/CRFTP.h"
#include "RKCurl/TextConversion.h"
#include "connection/CurlOption.h"
#include "connection/PathComposition.h"
#include "ftp/FtpRequest.h"

using oru::shared::error::RKERR_CREATE_DIR;
using oru::shared::error::RKERR_SET_CURRENT_DIR;
using oru::shared::error::RKERR_SET_OPTION;

namespace {

const rkcurl::ftp::FtpProfile kCreateDirectory{"CRFTP::CreateDirectoryW", true, RKERR_CREATE_DIR};

// A fresh handle for the new directory; libcurl walks the path directory by directory and
// makes each one it cannot enter. The handle is left as a plain one for the commands after it.
class CreateDirectoryRequest : public rkcurl::ftp::FtpRequest {
public:
    explicit CreateDirectoryRequest(CRFTP& session) : FtpRequest(session, kCreateDirectory) {}

private:
    int SetOwnOptions() override {
        if (SetOption(CURLOPT_NOBODY, 1L) &&
            SetOption(CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR))) {
            return 0;
        }
        return Fail(RKERR_SET_OPTION, LastCurlCode());
    }

    int Complete() override {
        if (SetOption(CURLOPT_NOBODY, 0L) &&
            SetOption(CURLOPT_FTP_CREATE_MISSING_DIRS,
                      static_cast<long>(CURLFTP_CREATE_DIR_NONE))) {
            return 0;
        }
        return Fail(RKERR_SET_OPTION, LastCurlCode());
    }
};

}  // namespace

void CRFTP::ComposeDirectory(const wchar_t* path) {
    m_href = rkcurl::path::JoinDirectory(
        m_href, oru::helper::WideStrToNarStr(path != nullptr ? path : L""));
}

int CRFTP::SetCurrentDirectoryW(const wchar_t* path) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::SetCurrentDirectoryW", nullptr);
    ComposeDirectory(path);
    // On the handle of the previous request: without one, this is where the call fails.
    if (!rkcurl::SetCurlOption(*this, CURLOPT_NOBODY, 1L))
        return RecordFailure(RKERR_SET_OPTION, m_lastCurlCode);
    if (GetFile() != 0) return RecordFailure(RKERR_SET_CURRENT_DIR, m_lastCurlCode);
    if (!rkcurl::SetCurlOption(*this, CURLOPT_NOBODY, 0L))
        return RecordFailure(RKERR_SET_OPTION, m_lastCurlCode);
    return 0;
}

int CRFTP::CreateDirectoryW(const wchar_t* path) {
    ComposeDirectory(path);
    return CreateDirectoryRequest(*this).Run();
}

int CRFTP::CreateDirectoryTree(const wchar_t* path) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::CreateDirectoryTree", nullptr);
    if (CreateDirectoryW(path) == 0) return 0;
    return RecordFailure(RKERR_CREATE_DIR, m_lastCurlCode);
}
