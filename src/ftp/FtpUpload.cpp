// CRFTP::PutFile: a local file streamed to the URL that the HREF names, whole or resumed.
#include <RKLogging/RKLogging.h>
#include <curl/curl.h>

#include <optional>

#include "RKCurl/CRFTP.h"
#include "connection/CurlOption.h"
#include "ftp/FtpResources.h"
#include "ftp/FtpUrl.h"
#include "platform/CRuntime.h"

using oru::shared::error::RKERR_FILE_OPEN;
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;

namespace {

// The local file of a resumed upload, for libcurl's seek past what the server already has.
struct SeekSource {
    std::FILE* file;
    curl_off_t size;  // -1: unknown
};

int SeekCallback(void* source, curl_off_t offset, int origin) {
    const SeekSource* local = static_cast<SeekSource*>(source);
    if (origin != SEEK_SET) return CURL_SEEKFUNC_CANTSEEK;
    // The remote file is longer than the local one: nothing of the local file continues it.
    if (local->size >= 0 && offset > local->size) return CURL_SEEKFUNC_FAIL;
#if defined(_WIN32)
    const int sought = _fseeki64(local->file, offset, SEEK_SET);
#else
    const int sought = fseeko(local->file, static_cast<off_t>(offset), SEEK_SET);
#endif
    return sought == 0 ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_CANTSEEK;  // libcurl then reads past
}

}  // namespace

size_t CRFTP::ReadFunc(void* destination, size_t size, size_t count, FILE* stream) {
    return std::fread(destination, size, count, stream);
}

size_t CRFTP::ReadCallback(char* buffer, size_t size, size_t count, void* stream) {
    FILE* file = static_cast<FILE*>(stream);
    const size_t items = ReadFunc(buffer, size, count, file);
    // A short read with the error flag set would otherwise look like the end of the file.
    if (items == 0 && std::ferror(file) != 0) return CURL_READFUNC_ABORT;
    return items * size;
}

int CRFTP::PutFile(const wchar_t* localPath) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::PutFile", nullptr);
    return Upload(localPath, false);
}

int CRFTP::PutFile(const wchar_t* localPath, int resume) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::PutFile", nullptr);
    return Upload(localPath, resume != 0);
}

int CRFTP::Upload(const wchar_t* localPath, bool resume) {
    const int prepared = Prepare(rkcurl::ftp::kScheme);
    if (prepared != 0) return prepared;

    rkcurl::ftp::FileStream file(_wfopen(localPath != nullptr ? localPath : L"", L"rb"));
    if (!file) return RecordFailure(RKERR_FILE_OPEN, 0);
    const rkcurl::ftp::UploadDetach detach(m_curl);  // runs before the stream closes
    SeekSource source{file.get(), -1};
    std::optional<rkcurl::ftp::UploadResumeDetach> resumeDetach;
    if (resume) resumeDetach.emplace(m_curl);

    const curl_read_callback reader = &CRFTP::ReadCallback;
    if (!rkcurl::SetCurlOption(*this, CURLOPT_UPLOAD, 1L) ||
        !rkcurl::SetCurlOption(*this, CURLOPT_READFUNCTION, reader) ||
        !rkcurl::SetCurlOption(*this, CURLOPT_READDATA, static_cast<void*>(file.get()))) {
        return RecordFailure(RKERR_SET_OPTION, m_lastCurlCode);
    }
    const curl_off_t size = file.Size();
    if (size >= 0 && !rkcurl::SetCurlOption(*this, CURLOPT_INFILESIZE_LARGE, size)) {
        return RecordFailure(RKERR_SET_OPTION, m_lastCurlCode);
    }
    if (resume) {
        // Offset -1: libcurl asks the server for the size (SIZE), seeks past it and appends.
        source.size = size;
        const curl_seek_callback seeker = &SeekCallback;
        if (!rkcurl::SetCurlOption(*this, CURLOPT_SEEKFUNCTION, seeker) ||
            !rkcurl::SetCurlOption(*this, CURLOPT_SEEKDATA, static_cast<void*>(&source)) ||
            !rkcurl::SetCurlOption(*this, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(-1))) {
            return RecordFailure(RKERR_SET_OPTION, m_lastCurlCode);
        }
    }
    m_lastCurlCode = curl_easy_perform(m_curl);
    if (m_lastCurlCode != CURLE_OK) return RecordFailure(RKERR_PERFORM, m_lastCurlCode);
    return 0;
}
