#include "LocalTarget.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "PrivateDirectory.h"
#include "Signals.h"

namespace rktool {

void KeepMode(const std::string& file, const std::string& target) {
#if !defined(_WIN32)  // Windows files carry no such mode bits
    struct stat info {};
    const mode_t mode = stat(target.c_str(), &info) == 0 ? info.st_mode & 07777
                                                         : static_cast<mode_t>(NewFileMode());
    chmod(file.c_str(), mode);
#else
    (void)file;
    (void)target;
#endif
}

std::string TemporaryNameBeside(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return directory + "." + base + ".rkcurl-XXXXXX";
}

LocalTarget::~LocalTarget() {
    if (!m_temporary.empty()) unlink(m_temporary.c_str());
    UnregisterTemporary(m_registration);
}

bool LocalTarget::Open(const std::string& path, std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const std::string pattern = TemporaryNameBeside(path);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const EndingSignalsHeld held;  // until the file is registered
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private (0600); it keeps that mode until it is complete.
    close(fd);
    m_path = path;
    m_temporary = name.data();
    m_registration = RegisterTemporary(m_temporary, false);
    return true;
}

bool LocalTarget::Commit(std::string& error) {
    KeepMode(m_temporary, m_path);
    if (std::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        error = "cannot write " + m_path + ": " + std::strerror(errno);
        return false;
    }
    m_temporary.clear();
    return true;
}

}  // namespace rktool
