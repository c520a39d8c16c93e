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

#if !defined(_WIN32)
// The permission bits of the regular file that path names; -1 when there is none.
int PermissionsOf(const std::wstring& path) {
    struct stat info {};
    if (::stat(Narrow(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<int>(info.st_mode & 0777);
}
#endif

// Opens name for writing only when no file of that name exists; null with errno otherwise.
// permissions: the new file's permission bits exactly (whatever the umask), or -1 for the
// default ones.
std::FILE* CreateExclusive(const std::wstring& name, int permissions) {
#if defined(_WIN32)
    (void)permissions;
    const int fd =
        _wopen(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* file = _wfdopen(fd, L"wb");
    if (file == nullptr) _close(fd);
#else
    // Created with no more than the wanted bits, so it is never more open than the target.
    const mode_t mode = permissions >= 0 ? static_cast<mode_t>(permissions) : 0666;
    const int fd = ::open(Narrow(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return nullptr;
    if (permissions >= 0 && ::fchmod(fd, mode) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(Narrow(name).c_str());
        errno = error;
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) ::close(fd);
#endif
    return file;
}

}  // namespace

std::FILE* CreateFileBeside(const std::wstring& target, std::wstring& created) {
#if defined(_WIN32)
    const int permissions = -1;
#else
    const int permissions = PermissionsOf(target);
#endif
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::wstring name = target + Suffix(static_cast<unsigned>(attempt));
        std::FILE* file = CreateExclusive(name, permissions);
        if (file != nullptr) {
            created = name;
            return file;
        }
        if (errno != EEXIST) return nullptr;  // the directory refuses, not a taken name
    }
    return nullptr;
}

bool ReplaceFile(const std::wstring& from, const std::wstring& to) {
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
