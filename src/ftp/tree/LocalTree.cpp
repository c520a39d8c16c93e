#include "ftp/tree/LocalTree.h"

#include <cerrno>

#include "RKCurl/CRKError.h"
#include "RKCurl/TextConversion.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#endif

using oru::shared::error::RKERR_DELETE_FILE;
using oru::shared::error::RKERR_FILE_OPEN;
using oru::shared::error::RKERR_REMOVE_DIR;

namespace rkcurl {
namespace ftp {

namespace {

bool Fail(Failure& failure, int code) {
    failure.code = code;
    failure.extendedCode = 0;
    failure.detail.clear();
    return false;
}

#if defined(_WIN32)
// 100 ns ticks from 1601 to 1970.
constexpr std::int64_t kEpochTicks = 116444736000000000LL;

std::int64_t FileTimeToUnix(const FILETIME& time) {
    const std::int64_t ticks =
        (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (ticks - kEpochTicks) / 10000000;
}
#endif

}  // namespace

LocalTree::LocalTree(const std::wstring& root) : m_root(root) {
    while (m_root.size() > 1 && (m_root.back() == L'/' || m_root.back() == L'\\')) {
        m_root.pop_back();
    }
}

std::wstring LocalTree::WidePath(const std::string& path) const {
    if (path.empty()) return m_root;
    return m_root + L"/" + oru::helper::NarStrToWideStr(path);
}

#if defined(_WIN32)

bool LocalTree::RootExists() const {
    const DWORD attributes = GetFileAttributesW(m_root.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool LocalTree::List(const std::string& directory, std::vector<TreeItem>& items, Failure& failure) {
    items.clear();
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((WidePath(directory) + L"/*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return Fail(failure, RKERR_FILE_OPEN);
    do {
        TreeItem item;
        item.name = oru::helper::WideStrToNarStr(data.cFileName);
        if (item.name == "." || item.name == "..") continue;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            item.kind = ItemKind::Link;
        } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            item.kind = ItemKind::Directory;
        }
        item.sizeKnown = true;
        item.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        item.time = FileTimeToUnix(data.ftLastWriteTime);
        item.precision = 1;
        items.push_back(item);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

bool LocalTree::MakeDirectory(const std::string& directory, Failure& failure) {
    if (CreateDirectoryW(WidePath(directory).c_str(), nullptr)) return true;
    return Fail(failure, RKERR_FILE_OPEN);
}

bool LocalTree::RemoveFile(const std::string& path, Failure& failure) {
    if (DeleteFileW(WidePath(path).c_str())) return true;
    return Fail(failure, RKERR_DELETE_FILE);
}

bool LocalTree::RemoveEmptyDirectory(const std::string& path, Failure& failure) {
    if (RemoveDirectoryW(WidePath(path).c_str())) return true;
    return Fail(failure, RKERR_REMOVE_DIR);
}

bool LocalTree::MakeRoot() {
    if (RootExists()) return true;
    for (std::size_t i = 1; i <= m_root.size(); ++i) {
        if (i == m_root.size() || m_root[i] == L'/' || m_root[i] == L'\\') {
            CreateDirectoryW(m_root.substr(0, i).c_str(), nullptr);  // existing parents stay
        }
    }
    return RootExists();
}

bool LocalTree::SetModificationTime(const std::string& path, std::int64_t time) const {
    const HANDLE file = CreateFileW(WidePath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const std::int64_t ticks = time * 10000000 + kEpochTicks;
    FILETIME written;
    written.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    written.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    const bool set = SetFileTime(file, nullptr, nullptr, &written) != 0;
    CloseHandle(file);
    return set;
}

#else

namespace {

std::string Narrow(const std::wstring& path) {
    return oru::helper::WideStrToNarStr(path);
}

struct DirectoryCloser {
    void operator()(DIR* directory) const { closedir(directory); }
};

}  // namespace

bool LocalTree::RootExists() const {
    struct stat info {};
    return ::stat(Narrow(m_root).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool LocalTree::List(const std::string& directory, std::vector<TreeItem>& items, Failure& failure) {
    items.clear();
    const std::string base = Narrow(WidePath(directory));
    const std::unique_ptr<DIR, DirectoryCloser> listing(::opendir(base.c_str()));
    if (!listing) return Fail(failure, RKERR_FILE_OPEN);
    while (const dirent* entry = ::readdir(listing.get())) {
        TreeItem item;
        item.name = entry->d_name;
        if (item.name == "." || item.name == "..") continue;
        struct stat info {};
        if (::lstat((base + "/" + item.name).c_str(), &info) != 0) continue;  // gone meanwhile
        if (S_ISLNK(info.st_mode)) {
            item.kind = ItemKind::Link;
        } else if (S_ISDIR(info.st_mode)) {
            item.kind = ItemKind::Directory;
        } else if (!S_ISREG(info.st_mode)) {
            item.kind = ItemKind::Other;
        }
        item.sizeKnown = true;
        item.size = static_cast<std::uint64_t>(info.st_size);
        item.time = static_cast<std::int64_t>(info.st_mtime);
        item.precision = 1;
        items.push_back(item);
    }
    return true;
}

bool LocalTree::MakeDirectory(const std::string& directory, Failure& failure) {
    if (::mkdir(Narrow(WidePath(directory)).c_str(), 0777) == 0) return true;
    return Fail(failure, RKERR_FILE_OPEN);
}

bool LocalTree::RemoveFile(const std::string& path, Failure& failure) {
    if (::unlink(Narrow(WidePath(path)).c_str()) == 0) return true;
    return Fail(failure, RKERR_DELETE_FILE);
}

bool LocalTree::RemoveEmptyDirectory(const std::string& path, Failure& failure) {
    if (::rmdir(Narrow(WidePath(path)).c_str()) == 0) return true;
    return Fail(failure, RKERR_REMOVE_DIR);
}

bool LocalTree::MakeRoot() {
    if (RootExists()) return true;
    const std::string root = Narrow(m_root);
    for (std::size_t i = 1; i <= root.size(); ++i) {
        if (i == root.size() || root[i] == '/') {
            ::mkdir(root.substr(0, i).c_str(), 0777);  // existing parents stay as they are
        }
    }
    return RootExists();
}

bool LocalTree::SetModificationTime(const std::string& path, std::int64_t time) const {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = static_cast<time_t>(time);
    times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, Narrow(WidePath(path)).c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

#endif

}  // namespace ftp
}  // namespace rkcurl
