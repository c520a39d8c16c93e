#include "PasswordPrompt.h"

#if defined(_WIN32)
#include <windows.h>

#include <cstdio>
#else
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

#include "Session.h"

namespace rktool {

#if defined(_WIN32)
// The console's input with echo off for the prompt; mode and handle come back on every path.
std::optional<std::string> PromptPassword(const std::string& prompt) {
    const HANDLE console =
        CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) return std::nullopt;
    struct Restore {
        HANDLE handle;
        DWORD mode;
        bool set;
        ~Restore() {
            if (set) SetConsoleMode(handle, mode);
            CloseHandle(handle);
        }
    } restore{console, 0, false};
    if (GetConsoleMode(console, &restore.mode) == 0) return std::nullopt;
    restore.set =
        SetConsoleMode(console, restore.mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
    if (!restore.set) return std::nullopt;
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    std::string password;
    char c = 0;
    DWORD n = 0;
    while (ReadFile(console, &c, 1, &n, nullptr) != 0 && n == 1 && c != '\n') {
        if (c != '\r') password.push_back(c);
    }
    std::fputs("\n", stderr);
    return password;
}
#else
namespace {

// The terminal, opened for the prompt and closed on every path.
class Terminal {
public:
    Terminal() : m_fd(open("/dev/tty", O_RDWR | O_CLOEXEC)) {}
    ~Terminal() {
        if (m_fd >= 0) close(m_fd);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Echo off for its lifetime; the saved settings come back on every path.
class EchoOff {
public:
    explicit EchoOff(int fd) : m_fd(fd), m_saved{}, m_active(tcgetattr(fd, &m_saved) == 0) {
        if (!m_active) return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        m_active = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff() {
        if (m_active) tcsetattr(m_fd, TCSAFLUSH, &m_saved);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    bool active() const { return m_active; }

private:
    int m_fd;
    termios m_saved;
    bool m_active;
};

}  // namespace

std::optional<std::string> PromptPassword(const std::string& prompt) {
    Terminal tty;
    if (tty.fd() < 0) return std::nullopt;
    // Echo goes off before the prompt shows, so nothing typed after it can be echoed.
    EchoOff echoOff(tty.fd());
    if (!echoOff.active()) return std::nullopt;
    WriteAll(tty.fd(), prompt);
    std::string password;
    char c = 0;
    for (;;) {
        const ssize_t n = read(tty.fd(), &c, 1);
        if (n < 0) return std::nullopt;  // EINTR from Ctrl-C included
        if (n == 0 || c == '\n') break;
        password.push_back(c);
    }
    return password;
}
#endif

}  // namespace rktool
