// CRFTP::GetFileTo: the HREF's file streamed into a local file, whole or resumed.
#include <RKLogging/RKLogging.h>
#include <curl/curl.h>

#include "RKCurl/CRFTP.h"
#include "connection/CurlOption.h"
#include "ftp/FtpResources.h"
#include "ftp/FtpUrl.h"
#include "platform/CRuntime.h"
#include "platform/LocalFiles.h"

using oru::shared::error::RKERR_FILE_OPEN;
using oru::shared::error::RKERR_GET_FILE;
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;

namespace {

// Straight to the file; a short write makes libcurl stop with its write error.
size_t WriteToFile(char* data, size_t size, size_t count, void* stream) {
    return std::fwrite(data, 1, size * count, static_cast<std::FILE*>(stream));
}

// libcurl's default receive buffer of 16 KiB costs a file download about a fifth of its
// speed on a fast link: larger reads mean fewer calls into the callback and the file.
constexpr long kDownloadBufferBytes = 512L * 1024;

}  // namespace

int CRFTP::GetFileTo(const wchar_t* localPath, int resume) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::GetFileTo", nullptr);
    const int prepared = Prepare(rkcurl::ftp::kScheme);
    if (prepared != 0) return prepared;

    const std::wstring target = localPath != nullptr ? localPath : L"";
    // A directory would only be refused at the final move, after the whole transfer.
    if (target.empty() || rkplatform::IsDirectory(target)) {
        return RecordFailure(RKERR_FILE_OPEN, 0);
    }

    if (resume != 0) {
        const rkcurl::ftp::FileStream file(_wfopen(target.c_str(), L"ab"));
        const curl_off_t size = file ? file.Size() : -1;
        if (size < 0) return RecordFailure(RKERR_FILE_OPEN, 0);
        const int done = DownloadInto(file.get(), size);
        if (done != 0) return done;
        if (std::fflush(file.get()) != 0)
            return RecordDownloadFailure(RKERR_PERFORM, CURLE_WRITE_ERROR);
        return 0;
    }

    rkcurl::ftp::PendingFile pending(target);
    if (!pending) return RecordFailure(RKERR_FILE_OPEN, 0);
    const int done = DownloadInto(pending.get(), 0);
    if (done != 0) return done;  // the pending file goes, the target stays as it was
    if (!pending.Commit()) return RecordDownloadFailure(RKERR_PERFORM, CURLE_WRITE_ERROR);
    return 0;
}

int CRFTP::DownloadInto(std::FILE* file, std::int64_t offset) {
    const rkcurl::ftp::DownloadDetach detach(m_curl, &m_response);  // before the file closes
    const curl_write_callback writer = &WriteToFile;
    if (!rkcurl::SetCurlOption(*this, CURLOPT_WRITEFUNCTION, writer) ||
        !rkcurl::SetCurlOption(*this, CURLOPT_WRITEDATA, static_cast<void*>(file)) ||
        !rkcurl::SetCurlOption(*this, CURLOPT_BUFFERSIZE, kDownloadBufferBytes) ||
        (offset > 0 && !rkcurl::SetCurlOption(*this, CURLOPT_RESUME_FROM_LARGE,
                                              static_cast<curl_off_t>(offset)))) {
        return RecordDownloadFailure(RKERR_SET_OPTION, m_lastCurlCode);
    }
    // With an offset libcurl asks for the size first: REST and RETR follow only when some of
    // the file is missing, and a local file longer than the remote one fails (result 36).
    m_lastCurlCode = curl_easy_perform(m_curl);
    if (m_lastCurlCode != CURLE_OK) return RecordDownloadFailure(RKERR_PERFORM, m_lastCurlCode);
    return 0;
}

int CRFTP::RecordDownloadFailure(int code, int result) {
    m_lastCurlCode = result;
    RecordFailure(code, result);
    return RecordFailure(RKERR_GET_FILE, m_lastCurlCode);
}
