#include "LocalFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#if defined(_WIN32)
#define O_CLOEXEC 0  // nothing is executed here that could inherit it
#endif

namespace rktool {

bool TempFile::Make(const std::string& label) {
    const char* directory = std::getenv("TMPDIR");
    const std::string base = directory && *directory ? directory : "/tmp";
    if (!m_directory.Make(base + "/rkcurl-" + label + "-XXXXXX")) return false;
    const std::string path = m_directory.Path() + "/data";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    close(fd);
    m_path = path;
    return true;
}

bool CopyStream(std::FILE* in, std::FILE* out) {
    std::vector<char> chunk(1 << 16);
    for (;;) {
        const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), in);
        if (n != 0 && std::fwrite(chunk.data(), 1, n, out) != n) return false;
        if (n < chunk.size()) break;
    }
    return std::ferror(in) == 0 && std::fflush(out) == 0;
}

bool CopyFileTo(const std::string& from, const std::string& to) {
    using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
    const File in(std::fopen(from.c_str(), "rb"), &std::fclose);
    if (!in) return false;
    if (to.empty()) return CopyStream(in.get(), stdout);
    File out(std::fopen(to.c_str(), "wb"), &std::fclose);
    return out && CopyStream(in.get(), out.get()) && std::fclose(out.release()) == 0;
}

bool IsSpecialFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

bool CheckDownloadTarget(const std::string& path, bool append, std::string& error) {
    const auto fail = [&](int code) {
        error = "cannot write " + path + ": " + std::strerror(code);
        return false;
    };
    struct stat info {};
    const bool exists = stat(path.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) return fail(EISDIR);
    if (exists && (append || !S_ISREG(info.st_mode))) {
        return access(path.c_str(), W_OK) == 0 || fail(errno);
    }
    // A new file, or one replaced by a new file: its directory must take it.
    const auto slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "."
                                  : slash == 0               ? "/"
                                                             : path.substr(0, slash);
    if (stat(directory.c_str(), &info) != 0) return fail(errno);
    if (!S_ISDIR(info.st_mode)) return fail(ENOTDIR);
    return access(directory.c_str(), W_OK | X_OK) == 0 || fail(errno);
}

bool CheckUploadSource(const std::string& path, std::string& error) {
    struct stat info {};
    const bool directory = stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    if (directory) errno = EISDIR;
    if (!directory && access(path.c_str(), R_OK) == 0) return true;
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
}

std::uint64_t LocalFileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

std::string ByteCount(std::uint64_t bytes) {
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

}  // namespace rktool
