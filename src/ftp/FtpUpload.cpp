// CRFTP::PutFile: a local file streamed to the URL that the HREF names, whole or resumed.
#include <curl/curl.h>

#include <optional>

#include "RKCurl/CRFTP.h"
#include "connection/CurlResources.h"
#include "ftp/FtpRequest.h"
#include "ftp/OptionResets.h"

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

const rkcurl::ftp::FtpProfile kPutFile{"CRFTP::PutFile", true, RKERR_PERFORM};

// The local file, opened "rb", as the upload source; resume adds the size query (SIZE), the
// seek past what the server has and APPE.
class UploadRequest : public rkcurl::ftp::FtpRequest {
public:
    UploadRequest(CRFTP& session, const wchar_t* localPath, bool resume)
        : FtpRequest(session, kPutFile), m_localPath(localPath), m_resume(resume) {}

private:
    int SetOwnOptions() override {
        if (!m_file.Open(m_localPath != nullptr ? m_localPath : L"", L"rb")) {
            return Fail(RKERR_FILE_OPEN, 0);
        }
        m_detach.emplace(Handle());  // released before the stream closes
        if (m_resume) m_resumeDetach.emplace(Handle());
        if (!SetOption(CURLOPT_UPLOAD, 1L) || !SetOption(CURLOPT_READFUNCTION, FileReader()) ||
            !SetOption(CURLOPT_READDATA, static_cast<void*>(m_file.Get()))) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
        const curl_off_t size = m_file.Size();
        if (size >= 0 && !SetOption(CURLOPT_INFILESIZE_LARGE, size)) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
        if (!m_resume) return 0;
        // Offset -1: libcurl asks the server for the size (SIZE), seeks past it and appends.
        m_source = SeekSource{m_file.Get(), size};
        const curl_seek_callback seeker = &SeekCallback;
        if (!SetOption(CURLOPT_SEEKFUNCTION, seeker) ||
            !SetOption(CURLOPT_SEEKDATA, static_cast<void*>(&m_source)) ||
            !SetOption(CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(-1))) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
        return 0;
    }

    void ReleaseOwn() override {
        m_resumeDetach.reset();
        m_detach.reset();
        m_file.Close();
    }

    const wchar_t* m_localPath;
    const bool m_resume;
    rkcurl::FileStream m_file;
    SeekSource m_source{nullptr, -1};
    std::optional<rkcurl::ftp::UploadDetach> m_detach;
    std::optional<rkcurl::ftp::UploadResumeDetach> m_resumeDetach;
};

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
    return UploadRequest(*this, localPath, false).Run();
}

int CRFTP::PutFile(const wchar_t* localPath, int resume) {
    return UploadRequest(*this, localPath, resume != 0).Run();
}
