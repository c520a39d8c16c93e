#include "LocalTarget.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace rktool {

LocalTarget::~LocalTarget() {
    if (!m_temporary.empty()) unlink(m_temporary.c_str());
}

bool LocalTarget::Open(const std::string& path, std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const auto slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = directory + "." + base + ".rkcurl-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
#if !defined(_WIN32)  // Windows files carry no such mode bits
    // mkstemp makes the file private; a download gets the mode a new file would get.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, static_cast<mode_t>(0666 & ~mask));
#endif
    close(fd);
    m_path = path;
    m_temporary = name.data();
    return true;
}

bool LocalTarget::Commit(std::string& error) {
    if (std::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        error = "cannot write " + m_path + ": " + std::strerror(errno);
        return false;
    }
    m_temporary.clear();
    return true;
}

}  // namespace rktool
