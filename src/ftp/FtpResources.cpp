#include "ftp/FtpResources.h"

#include <new>

#include "connection/StreamSink.h"
#include "platform/LocalFiles.h"

namespace rkcurl {
namespace ftp {

CommandList::CommandList(const std::vector<std::string>& commands) {
    for (const std::string& command : commands) {
        curl_slist* longer = curl_slist_append(m_list, command.c_str());
        if (longer == nullptr) {
            curl_slist_free_all(m_list);
            throw std::bad_alloc();  // the one exception that may leave the library
        }
        m_list = longer;
    }
}

QuoteListDetach::~QuoteListDetach() {
    // Cannot fail on a handle that took the list; the result is kept apart on purpose.
    const CURLcode result = curl_easy_setopt(m_handle, m_option, static_cast<curl_slist*>(nullptr));
    (void)result;
}

CustomRequestDetach::~CustomRequestDetach() {
    const CURLcode result =
        curl_easy_setopt(m_handle, CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr));
    (void)result;  // kept apart: the operation reports the result of its failing call
}

curl_off_t FileStream::Size() const {
#if defined(_WIN32)
    if (_fseeki64(m_file, 0, SEEK_END) != 0) return -1;
    const curl_off_t size = _ftelli64(m_file);
    if (_fseeki64(m_file, 0, SEEK_SET) != 0) return -1;
#else
    if (fseeko(m_file, 0, SEEK_END) != 0) return -1;
    const curl_off_t size = ftello(m_file);
    if (fseeko(m_file, 0, SEEK_SET) != 0) return -1;
#endif
    return size;
}

UploadDetach::~UploadDetach() {
    // Cannot fail on a valid handle; the results are kept apart on purpose.
    CURLcode result = curl_easy_setopt(m_handle, CURLOPT_UPLOAD, 0L);
    result =
        curl_easy_setopt(m_handle, CURLOPT_READFUNCTION, static_cast<curl_read_callback>(nullptr));
    result = curl_easy_setopt(m_handle, CURLOPT_READDATA, static_cast<void*>(nullptr));
    result = curl_easy_setopt(m_handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(-1));
    (void)result;
}

UploadResumeDetach::~UploadResumeDetach() {
    // Cannot fail on a valid handle; the results are kept apart on purpose.
    CURLcode result =
        curl_easy_setopt(m_handle, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(0));
    result =
        curl_easy_setopt(m_handle, CURLOPT_SEEKFUNCTION, static_cast<curl_seek_callback>(nullptr));
    result = curl_easy_setopt(m_handle, CURLOPT_SEEKDATA, static_cast<void*>(nullptr));
    result = curl_easy_setopt(m_handle, CURLOPT_APPEND, 0L);
    (void)result;
}

DownloadDetach::~DownloadDetach() {
    // Cannot fail on a valid handle; the results are kept apart on purpose.
    const curl_write_callback sink = &StreamSink::Write;
    CURLcode result = curl_easy_setopt(m_handle, CURLOPT_WRITEFUNCTION, sink);
    result = curl_easy_setopt(m_handle, CURLOPT_WRITEDATA, static_cast<void*>(m_body));
    result = curl_easy_setopt(m_handle, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(0));
    (void)result;
}

PendingFile::PendingFile(const std::wstring& target)
    : m_target(target), m_file(rkplatform::CreateFileBeside(target, m_name)) {}

PendingFile::~PendingFile() {
    if (m_file != nullptr) std::fclose(m_file);
    if (!m_committed && !m_name.empty()) rkplatform::RemoveFile(m_name);
}

bool PendingFile::Commit() {
    // A failed flush or close means data that never reached the disk: the target stays.
    const bool flushed = std::fflush(m_file) == 0;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    m_committed = flushed && closed && rkplatform::ReplaceFile(m_name, m_target);
    return m_committed;
}

}  // namespace ftp
}  // namespace rkcurl
