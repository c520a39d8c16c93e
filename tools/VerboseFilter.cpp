#include "VerboseFilter.h"

#include <fcntl.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>

#include "Session.h"

namespace rktool {
namespace {

// Replaces what follows marker up to the end of its line with "***".
void MaskAfter(std::string& text, const std::string& marker) {
    for (std::size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + marker.size())) {
        const std::size_t start = at + marker.size();
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        text.replace(start, end - start, "***");
    }
}

#if defined(_WIN32)
int MakePipe(int fds[2]) {
    return _pipe(fds, 65536, _O_BINARY | _O_NOINHERIT);
}
int DuplicateStderr() {
    return _dup(2);
}
#else
int MakePipe(int fds[2]) {
    return pipe2(fds, O_CLOEXEC);
}
int DuplicateStderr() {
    return fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
}
#endif

}  // namespace

std::string MaskSecrets(const std::string& text, const std::vector<std::string>& secrets) {
    std::string masked = text;
    MaskAfter(masked, "PASS ");
    MaskAfter(masked, "Authorization: Basic ");
    for (const std::string& secret : secrets) {
        if (secret.empty()) continue;
        for (std::size_t at = masked.find(secret); at != std::string::npos;
             at = masked.find(secret, at + 3)) {
            masked.replace(at, secret.size(), "***");
        }
    }
    return masked;
}

VerboseFilter::VerboseFilter(std::vector<std::string> secrets) : m_secrets(std::move(secrets)) {
    if (m_secrets.empty()) return;
    int fds[2];
    if (MakePipe(fds) != 0) return;
    std::fflush(stderr);
    m_savedStderr = DuplicateStderr();
    if (m_savedStderr < 0 || dup2(fds[1], STDERR_FILENO) < 0) {
        close(fds[0]);
        close(fds[1]);
        if (m_savedStderr >= 0) close(m_savedStderr);
        m_savedStderr = -1;
        return;
    }
    close(fds[1]);
    const int readFd = fds[0];
    m_pump = std::thread([this, readFd] { Pump(readFd); });
}

VerboseFilter::~VerboseFilter() {
    if (m_savedStderr < 0) return;
    std::fflush(stderr);
    dup2(m_savedStderr, STDERR_FILENO);  // closes the pipe's last write end: the pump ends
    m_pump.join();
    close(m_savedStderr);
}

void VerboseFilter::Pump(int readFd) {
    std::string pending;
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(readFd, chunk, sizeof chunk);
        if (n <= 0) break;
        pending.append(chunk, static_cast<std::size_t>(n));
        // Whole lines only (a progress bar line ends in CR), so a secret is never split.
        const std::size_t end = pending.find_last_of("\r\n");
        if (end == std::string::npos && pending.size() < 65536) continue;
        const std::size_t cut = end == std::string::npos ? pending.size() : end + 1;
        WriteAll(m_savedStderr, MaskSecrets(pending.substr(0, cut), m_secrets));
        pending.erase(0, cut);
    }
    if (!pending.empty()) WriteAll(m_savedStderr, MaskSecrets(pending, m_secrets));
    close(readFd);
}

}  // namespace rktool
