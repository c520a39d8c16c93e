// The C runtime resources of a request: local files and the receive block.
#include <limits>
#include <new>

#include "platform/CRuntime.h"
#include "platform/LocalFiles.h"
#include "resources/CurlResources.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace rkcurl {

bool FileStream::Open(const wchar_t* path, const wchar_t* mode) {
    Close();
    m_file = _wfopen(path, mode);
    return m_file != nullptr;
}

curl_off_t FileStream::Size() const {
    if (rkplatform::Seek(m_file, 0, SEEK_END) != 0) return -1;
    const curl_off_t size = rkplatform::Tell(m_file);
    if (rkplatform::Seek(m_file, 0, SEEK_SET) != 0) return -1;
    return size;
}

bool FileStream::Close() {
    const bool closed = m_file == nullptr || std::fclose(m_file) == 0;
    m_file = nullptr;
    return closed;
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
    rkplatform::TakeModeOf(m_file, m_target);  // private while it filled; now as the target
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    m_committed = flushed && closed && rkplatform::MoveOver(m_name, m_target);
    return m_committed;
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
