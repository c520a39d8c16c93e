// CRFTP::PutFile: a local file streamed to the URL that the HREF names, whole or resumed.
#include <curl/curl.h>

#include <optional>

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
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;
using rkcurl::SetOption;

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
    const int sought = rkplatform::Seek(local->file, offset, SEEK_SET);
    return sought == 0 ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_CANTSEEK;  // libcurl then reads past
}

// libcurl's shape of CRFTP::ReadFunc; aborts the transfer on a read error.
size_t ReadFromFile(char* buffer, size_t size, size_t count, void* stream);

// The local file, opened "rb", as the upload source; resume adds the size query (SIZE), the
// seek past what the server has and APPE.
class UploadRequest : public rkcurl::Request {
public:
    UploadRequest(CRFTP& session, const wchar_t* localPath, bool resume)
        : Request(session, rkcurl::ftp::TransferShape("CRFTP::PutFile")),
          m_localPath(localPath),
          m_resume(resume) {}

private:
    int SetOwnOptions() override {
        if (!m_file.Open(rkcurl::OrEmpty(m_localPath), L"rb")) return Fail(RKERR_FILE_OPEN, 0);
        m_remover.emplace(Handle());  // released before the stream closes
        if (m_resume) m_resumeRemover.emplace(Handle());
        const curl_read_callback reader = &ReadFromFile;
        if (!SetOption(Channel(), CURLOPT_UPLOAD, 1L) ||
            !SetOption(Channel(), CURLOPT_READFUNCTION, reader) ||
            !SetOption(Channel(), CURLOPT_READDATA, static_cast<void*>(m_file.Get()))) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
        const curl_off_t size = m_file.Size();
        if (size >= 0 && !SetOption(Channel(), CURLOPT_INFILESIZE_LARGE, size)) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
        if (!m_resume) return 0;
        // Offset -1: libcurl asks the server for the size (SIZE), seeks past it and appends.
        m_source = SeekSource{m_file.Get(), size};
        const curl_seek_callback seeker = &SeekCallback;
        if (!SetOption(Channel(), CURLOPT_SEEKFUNCTION, seeker) ||
            !SetOption(Channel(), CURLOPT_SEEKDATA, static_cast<void*>(&m_source)) ||
            !SetOption(Channel(), CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(-1))) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
        return 0;
    }

    void ReleaseOwn() override {
        m_resumeRemover.reset();
        m_remover.reset();
        m_file.Close();
    }

    const wchar_t* m_localPath;
    const bool m_resume;
    rkcurl::FileStream m_file;
    SeekSource m_source{nullptr, -1};
    std::optional<rkcurl::ftp::UploadSourceRemover> m_remover;
    std::optional<rkcurl::ftp::UploadResumeRemover> m_resumeRemover;
};

}  // namespace

size_t CRFTP::ReadFunc(void* destination, size_t size, size_t count, FILE* stream) {
    return std::fread(destination, size, count, stream);
}

namespace {

size_t ReadFromFile(char* buffer, size_t size, size_t count, void* stream) {
    FILE* file = static_cast<FILE*>(stream);
    const size_t items = rkcurl::ConnectionAccess::ReadFunc(buffer, size, count, file);
    // A short read with the error flag set would otherwise look like the end of the file.
    if (items == 0 && std::ferror(file) != 0) return CURL_READFUNC_ABORT;
    return items * size;
}

}  // namespace

std::unique_ptr<rkcurl::Request> rkcurl::ftp::MakeUpload(CRFTP& channel, const wchar_t* localPath,
                                                         bool resume) {
    return std::make_unique<UploadRequest>(channel, localPath, resume);
}

int CRFTP::PutFile(const wchar_t* localPath) {
    return UploadRequest(*this, localPath, false).Run();
}

int CRFTP::PutFile(const wchar_t* localPath, int resume) {
    return UploadRequest(*this, localPath, resume != 0).Run();
}
