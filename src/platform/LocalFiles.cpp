#include "platform/LocalFiles.h"

#include <atomic>
#include <cerrno>
#include <chrono>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Utf.h"
#endif

namespace rkplatform {

namespace {

// Enough attempts to get past names that other processes hold; each one is tried exclusively.
constexpr int kAttempts = 64;

std::wstring Suffix(unsigned attempt) {
    static std::atomic<unsigned> s_counter{0};
    const auto clock = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
#if defined(_WIN32)
    const unsigned long long process = static_cast<unsigned long long>(_getpid());
#else
    const unsigned long long process = static_cast<unsigned long long>(::getpid());
#endif
    return L".rkpart-" + std::to_wstring(process) + L"-" + std::to_wstring(s_counter++) + L"-" +
           std::to_wstring((clock ^ (clock >> 17)) % 1000000u + attempt);
}

#if !defined(_WIN32)
std::string Narrow(const std::wstring& text) {
    return WideToUtf8(text.c_str(), text.size());
}
#endif

// Opens name for writing only when no file of that name exists; null with errno otherwise.
std::FILE* CreateExclusive(const std::wstring& name) {
#if defined(_WIN32)
    const int fd =
        _wopen(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* file = _wfdopen(fd, L"wb");
    if (file == nullptr) _close(fd);
#else
    const int fd = ::open(Narrow(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) ::close(fd);
#endif
    return file;
}

#if !defined(_WIN32)
// The process's umask as /proc tells it (Linux 4.7 and later), without changing it: umask()
// itself can only be read by setting it, which would race with other threads creating files.
// 077 (keep the file private) when it cannot be told.
mode_t CurrentUmask() {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr) return 077;
    mode_t mask = 077;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1) {
            mask = static_cast<mode_t>(value & 0777);
            break;
        }
    }
    std::fclose(status);
    return mask;
}

// The umask an UmaskSnapshot of this thread holds; -1 while none lives.
thread_local int t_umaskSnapshot = -1;

mode_t NewFileUmask() {
    return t_umaskSnapshot >= 0 ? static_cast<mode_t>(t_umaskSnapshot) : CurrentUmask();
}
#endif

}  // namespace

std::FILE* CreateFileBeside(const std::wstring& target, std::wstring& created) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::wstring name = target + Suffix(static_cast<unsigned>(attempt));
        std::FILE* file = CreateExclusive(name);
        if (file != nullptr) {
            created = name;
            return file;
        }
        if (errno != EEXIST) return nullptr;  // the directory refuses, not a taken name
    }
    return nullptr;
}

void TakeModeOf(std::FILE* file, const std::wstring& target) {
#if defined(_WIN32)
    (void)file;
    (void)target;
#else
    struct stat info {};
    const bool replaces = ::stat(Narrow(target).c_str(), &info) == 0 && S_ISREG(info.st_mode);
    const mode_t mode = replaces ? info.st_mode & 07777 : 0666 & ~NewFileUmask();
    (void)::fchmod(::fileno(file), mode);
#endif
}

UmaskSnapshot::UmaskSnapshot() {
#if !defined(_WIN32)
    if (t_umaskSnapshot >= 0) return;
    t_umaskSnapshot = static_cast<int>(CurrentUmask());
    m_taken = true;
#else
    (void)m_taken;
#endif
}

UmaskSnapshot::~UmaskSnapshot() {
#if !defined(_WIN32)
    if (m_taken) t_umaskSnapshot = -1;
#endif
}

bool MoveOver(const std::wstring& from, const std::wstring& to) {
#if defined(_WIN32)
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(Narrow(from).c_str(), Narrow(to).c_str()) == 0;
#endif
}

bool RemoveFile(const std::wstring& path) {
#if defined(_WIN32)
    return _wremove(path.c_str()) == 0;
#else
    return std::remove(Narrow(path).c_str()) == 0;
#endif
}

bool IsDirectory(const std::wstring& path) {
#if defined(_WIN32)
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
    struct stat info {};
    return ::stat(Narrow(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
#endif
}

int Seek(std::FILE* file, std::int64_t offset, int origin) {
#if defined(_WIN32)
    return _fseeki64(file, offset, origin);
#else
    return fseeko(file, static_cast<off_t>(offset), origin);
#endif
}

std::int64_t Tell(std::FILE* file) {
#if defined(_WIN32)
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

}  // namespace rkplatform
