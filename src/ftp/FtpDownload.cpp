// CRFTP::GetFileTo: the HREF's file streamed into a local file, whole or resumed.
#include <curl/curl.h>

#include <optional>
#include <string>

#include "RKCurl/CRFTP.h"
#include "connection/ConnectionAccess.h"
#include "connection/CurlOption.h"
#include "connection/Request.h"
#include "foundation/WideText.h"
#include "ftp/FtpRequests.h"
#include "ftp/HandleRestore.h"
#include "platform/LocalFiles.h"
#include "resources/CurlResources.h"

using oru::shared::error::RKERR_FILE_OPEN;
using oru::shared::error::RKERR_GET_FILE;
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;
using rkcurl::SetOption;

namespace {

// Straight to the file; a short write makes libcurl stop with its write error.
size_t WriteToFile(char* data, size_t size, size_t count, void* stream) {
    return std::fwrite(data, 1, size * count, static_cast<std::FILE*>(stream));
}

// libcurl's default receive buffer of 16 KiB costs a file download about a fifth of its
// speed on a fast link: larger reads mean fewer calls into the callback and the file.
constexpr long kDownloadBufferBytes = 512L * 1024;

// The HREF's file into a local one: a new file beside the target, moved over it once complete,
// or the target itself appended to from its current size.
class DownloadRequest : public rkcurl::Request {
public:
    DownloadRequest(CRFTP& session, const wchar_t* localPath, bool resume)
        : Request(session, rkcurl::ftp::TransferShape("CRFTP::GetFileTo")),
          m_target(rkcurl::OrEmpty(localPath)),
          m_resume(resume) {}

private:
    int SetOwnOptions() override {
        // A directory would only be refused at the final move, after the whole transfer.
        if (m_target.empty() || rkplatform::IsDirectory(m_target)) {
            return Fail(RKERR_FILE_OPEN, 0);
        }
        std::FILE* file = nullptr;
        curl_off_t offset = 0;
        if (m_resume) {
            offset = m_appended.Open(m_target.c_str(), L"ab") ? m_appended.Size() : -1;
            if (offset < 0) return Fail(RKERR_FILE_OPEN, 0);
            file = m_appended.Get();
        } else {
            m_pending.emplace(m_target);
            if (!*m_pending) return Fail(RKERR_FILE_OPEN, 0);
            file = m_pending->Get();
        }
        // Restored before the file closes.
        m_restorer.emplace(Handle(), &rkcurl::ConnectionAccess::Response(Channel()));
        const curl_write_callback writer = &WriteToFile;
        if (!SetOption(Channel(), CURLOPT_WRITEFUNCTION, writer) ||
            !SetOption(Channel(), CURLOPT_WRITEDATA, static_cast<void*>(file)) ||
            !SetOption(Channel(), CURLOPT_BUFFERSIZE, kDownloadBufferBytes) ||
            (offset > 0 && !SetOption(Channel(), CURLOPT_RESUME_FROM_LARGE, offset))) {
            return FailDownload(RKERR_SET_OPTION, LastCurlCode());
        }
        // With an offset libcurl asks for the size first: REST and RETR follow only when some
        // of the file is missing, and a local file longer than the remote one fails (36).
        return 0;
    }

    // Writing the last bytes, or moving the file into place, counts as the transfer. A failed
    // transfer leaves a resumed file as it is, ready for the next resume; a new one goes.
    int AfterPerform(int result) override {
        if (result != CURLE_OK) return result;
        const bool written = m_resume ? std::fflush(m_appended.Get()) == 0 : m_pending->Commit();
        return written ? CURLE_OK : CURLE_WRITE_ERROR;
    }

    int ReportTransferFailure(int result) override { return FailDownload(RKERR_PERFORM, result); }

    void ReleaseOwn() override {
        m_restorer.reset();
        m_appended.Close();
        m_pending.reset();
    }

    // Records code with result, then RKERR_GET_FILE (2517) with m_lastCurlCode; returns 2517.
    int FailDownload(int code, int result) {
        rkcurl::ConnectionAccess::LastCurlCode(Channel()) = result;
        Fail(code, result);
        return Fail(RKERR_GET_FILE, LastCurlCode());
    }

    const std::wstring m_target;
    const bool m_resume;
    rkcurl::FileStream m_appended;
    std::optional<rkcurl::PendingFile> m_pending;
    std::optional<rkcurl::ftp::BodySinkRestorer> m_restorer;
};

}  // namespace

std::unique_ptr<rkcurl::Request> rkcurl::ftp::MakeDownload(CRFTP& channel, const wchar_t* localPath,
                                                           bool resume) {
    return std::make_unique<DownloadRequest>(channel, localPath, resume);
}

int CRFTP::GetFileTo(const wchar_t* localPath, int resume) {
    return DownloadRequest(*this, localPath, resume != 0).Run();
}
