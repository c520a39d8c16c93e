#include "ftp/HandleRestore.h"

#include "connection/ConnectionAccess.h"

namespace rkcurl {
namespace ftp {

QuoteListRemover::~QuoteListRemover() {
    // Cannot fail on a handle that took the list; the result is kept apart on purpose.
    const CURLcode result = curl_easy_setopt(m_handle, m_option, static_cast<curl_slist*>(nullptr));
    (void)result;
}

ListingCommandRemover::~ListingCommandRemover() {
    const CURLcode result =
        curl_easy_setopt(m_handle, CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr));
    (void)result;  // kept apart: the operation reports the result of its failing call
}

UploadSourceRemover::~UploadSourceRemover() {
    // Cannot fail on a valid handle; the results are kept apart on purpose.
    CURLcode result = curl_easy_setopt(m_handle, CURLOPT_UPLOAD, 0L);
    result =
        curl_easy_setopt(m_handle, CURLOPT_READFUNCTION, static_cast<curl_read_callback>(nullptr));
    result = curl_easy_setopt(m_handle, CURLOPT_READDATA, static_cast<void*>(nullptr));
    result = curl_easy_setopt(m_handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(-1));
    (void)result;
}

UploadResumeRemover::~UploadResumeRemover() {
    // Cannot fail on a valid handle; the results are kept apart on purpose.
    CURLcode result =
        curl_easy_setopt(m_handle, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(0));
    result =
        curl_easy_setopt(m_handle, CURLOPT_SEEKFUNCTION, static_cast<curl_seek_callback>(nullptr));
    result = curl_easy_setopt(m_handle, CURLOPT_SEEKDATA, static_cast<void*>(nullptr));
    result = curl_easy_setopt(m_handle, CURLOPT_APPEND, 0L);
    (void)result;
}

BodySinkRestorer::~BodySinkRestorer() {
    // Cannot fail on a valid handle; the results are kept apart on purpose.
    const curl_write_callback sink = &ConnectionAccess::WriteStream;
    CURLcode result = curl_easy_setopt(m_handle, CURLOPT_WRITEFUNCTION, sink);
    result = curl_easy_setopt(m_handle, CURLOPT_WRITEDATA, static_cast<void*>(m_body));
    result = curl_easy_setopt(m_handle, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(0));
    (void)result;
}

}  // namespace ftp
}  // namespace rkcurl
