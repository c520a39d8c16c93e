#include "http/RequestResources.h"

#include <limits>
#include <new>

#include "platform/CRuntime.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace rkcurl {

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

void HeaderList::Append(const char* line) {
    curl_slist* const longer = curl_slist_append(m_list, line);
    if (longer != nullptr) m_list = longer;
}

void HeaderList::Release() {
    if (m_list != nullptr) curl_slist_free_all(m_list);
    m_list = nullptr;
}

bool FileStream::Open(const wchar_t* path, const wchar_t* mode) {
    Close();
    m_file = _wfopen(path, mode);
    return m_file != nullptr;
}

bool FileStream::Close() {
    const bool closed = m_file == nullptr || std::fclose(m_file) == 0;
    m_file = nullptr;
    return closed;
}

void ReceiveBlock::Allocate(std::uint64_t size) {
    Release();
    if constexpr (sizeof(std::size_t) < sizeof(std::uint64_t)) {
        if (size > std::numeric_limits<std::size_t>::max()) throw std::bad_alloc();
    }
    const std::size_t bytes = static_cast<std::size_t>(size);
#if defined(__linux__)
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    if (bytes >= kHugePage) {
        void* const mapped =
            mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) throw std::bad_alloc();
        madvise(mapped, bytes, MADV_HUGEPAGE);  // a hint: without it the block still works
        m_block = static_cast<unsigned char*>(mapped);
        m_size = bytes;
        m_mapped = true;
        return;
    }
#endif
    m_block = new unsigned char[bytes];
    m_size = bytes;
}

void ReceiveBlock::Release() {
#if defined(__linux__)
    if (m_mapped) munmap(m_block, m_size);
#endif
    if (!m_mapped) delete[] m_block;
    m_block = nullptr;
    m_size = 0;
    m_mapped = false;
}

}  // namespace rkcurl
