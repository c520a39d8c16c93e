// CRFTP::PutFile: a local file streamed to the URL that the HREF names.
#include <RKLogging/RKLogging.h>
#include <curl/curl.h>

#include "RKCurl/CRFTP.h"
#include "connection/CurlOption.h"
#include "ftp/FtpResources.h"
#include "ftp/FtpUrl.h"
#include "platform/CRuntime.h"

using oru::shared::error::RKERR_FILE_OPEN;
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;

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
    const int prepared = Prepare(rkcurl::ftp::kScheme);
    if (prepared != 0) return prepared;

    rkcurl::ftp::FileStream file(_wfopen(localPath != nullptr ? localPath : L"", L"rb"));
    if (!file) return RecordFailure(RKERR_FILE_OPEN, 0);
    const rkcurl::ftp::UploadDetach detach(m_curl);  // runs before the stream closes

    const curl_read_callback reader = &CRFTP::ReadCallback;
    if (!SetCurlOption(CURLOPT_UPLOAD, 1L) || !SetCurlOption(CURLOPT_READFUNCTION, reader) ||
        !SetCurlOption(CURLOPT_READDATA, static_cast<void*>(file.get()))) {
        return RecordFailure(RKERR_SET_OPTION, m_lastCurlCode);
    }
    const curl_off_t size = file.Size();
    if (size >= 0 && !SetCurlOption(CURLOPT_INFILESIZE_LARGE, size)) {
        return RecordFailure(RKERR_SET_OPTION, m_lastCurlCode);
    }
    m_lastCurlCode = curl_easy_perform(m_curl);
    if (m_lastCurlCode != CURLE_OK) return RecordFailure(RKERR_PERFORM, m_lastCurlCode);
    return 0;
}
