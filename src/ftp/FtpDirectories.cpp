// CRFTP's directory navigation and creation: the HREF is the session's current directory.
#include <RKLogging/RKLogging.h>
#include <curl/curl.h>

#include "RKCurl/CRFTP.h"
#include "RKCurl/TextConversion.h"
#include "connection/ConnectionAccess.h"
#include "connection/CurlOption.h"
#include "connection/RecordFailure.h"
#include "connection/Request.h"
#include "foundation/PathRules.h"
#include "foundation/WideText.h"
#include "ftp/FtpRequests.h"

using oru::shared::error::RKERR_CREATE_DIR;
using oru::shared::error::RKERR_SET_CURRENT_DIR;
using oru::shared::error::RKERR_SET_OPTION;
using rkcurl::RecordFailure;
using rkcurl::SetOption;

namespace {

// A fresh handle for the new directory; libcurl walks the path directory by directory and
// makes each one it cannot enter. The handle is left as a plain one for the commands after it.
class CreateDirectoryRequest : public rkcurl::Request {
public:
    explicit CreateDirectoryRequest(CRFTP& session)
        : Request(session, rkcurl::ftp::TransferShape("CRFTP::CreateDirectoryW")
                               .FailsTransferWith(RKERR_CREATE_DIR)) {}

private:
    int SetOwnOptions() override {
        if (SetOption(Channel(), CURLOPT_NOBODY, 1L) &&
            SetOption(Channel(), CURLOPT_FTP_CREATE_MISSING_DIRS,
                      static_cast<long>(CURLFTP_CREATE_DIR))) {
            return 0;
        }
        return Fail(RKERR_SET_OPTION, LastCurlCode());
    }

    int Complete() override {
        if (SetOption(Channel(), CURLOPT_NOBODY, 0L) &&
            SetOption(Channel(), CURLOPT_FTP_CREATE_MISSING_DIRS,
                      static_cast<long>(CURLFTP_CREATE_DIR_NONE))) {
            return 0;
        }
        return Fail(RKERR_SET_OPTION, LastCurlCode());
    }
};

// Joins path to the HREF and stores the result, ending in "/", as the new HREF.
void ComposeDirectory(CRFTP& session, const wchar_t* path) {
    std::string& href = rkcurl::ConnectionAccess::Href(session);
    href = rkcurl::path::JoinDirectory(href, oru::helper::WideStrToNarStr(rkcurl::OrEmpty(path)));
}

}  // namespace

int CRFTP::SetCurrentDirectoryW(const wchar_t* path) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::SetCurrentDirectoryW", nullptr);
    ComposeDirectory(*this, path);
    // On the handle of the previous request: without one, this is where the call fails.
    if (!SetOption(*this, CURLOPT_NOBODY, 1L))
        return RecordFailure(*this, RKERR_SET_OPTION, m_lastCurlCode);
    if (GetFile() != 0) return RecordFailure(*this, RKERR_SET_CURRENT_DIR, m_lastCurlCode);
    if (!SetOption(*this, CURLOPT_NOBODY, 0L))
        return RecordFailure(*this, RKERR_SET_OPTION, m_lastCurlCode);
    return 0;
}

int CRFTP::CreateDirectoryW(const wchar_t* path) {
    ComposeDirectory(*this, path);
    return CreateDirectoryRequest(*this).Run();
}

int CRFTP::CreateDirectoryTree(const wchar_t* path) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::CreateDirectoryTree", nullptr);
    if (CreateDirectoryW(path) == 0) return 0;
    return RecordFailure(*this, RKERR_CREATE_DIR, m_lastCurlCode);
}
