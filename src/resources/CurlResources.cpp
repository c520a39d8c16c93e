// The libcurl-owned resources of a request: string lists and multipart forms.
#include "resources/CurlResources.h"

#include <new>

namespace rkcurl {

void CurlStringList::Append(const char* line) {
    curl_slist* const longer = curl_slist_append(m_list, line);
    if (longer != nullptr) {
        m_list = longer;
        return;
    }
    if (m_onFailure == FailedLine::LeaveOut) return;
    Release();
    throw std::bad_alloc();  // the one exception that may leave the library
}

void CurlStringList::Release() {
    if (m_list != nullptr) curl_slist_free_all(m_list);
    m_list = nullptr;
}

void CurlForm::AddText(const std::string& name, const std::string& contents) {
    curl_formadd(&m_first, &m_last, CURLFORM_COPYNAME, name.c_str(), CURLFORM_COPYCONTENTS,
                 contents.c_str(), CURLFORM_END);
}

void CurlForm::AddBuffer(const char* name, const char* fileName, const unsigned char* data,
                         int length) {
    // libcurl reads a buffer length of 0 as "zero-terminated": an empty part must point at an
    // empty text of our own so that the caller's memory is never read.
    static const char kEmpty[] = "";
    if (length <= 0) {
        data = reinterpret_cast<const unsigned char*>(kEmpty);
        length = 0;
    }
    curl_formadd(&m_first, &m_last, CURLFORM_COPYNAME, name, CURLFORM_BUFFER, fileName,
                 CURLFORM_BUFFERPTR, static_cast<const void*>(data), CURLFORM_BUFFERLENGTH,
                 static_cast<long>(length), CURLFORM_END);
}

void CurlForm::AddFile(const std::string& name, const std::string& path) {
    curl_formadd(&m_first, &m_last, CURLFORM_COPYNAME, name.c_str(), CURLFORM_FILE, path.c_str(),
                 CURLFORM_END);
}

void CurlForm::Release() {
    if (m_first != nullptr) curl_formfree(m_first);
    m_first = nullptr;
    m_last = nullptr;
}

}  // namespace rkcurl
