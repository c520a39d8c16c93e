#include "Signals.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace rktool {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

// Fixed storage that a signal handler can read without allocating: a slot is filled first and
// marked used last, so the handler never sees half a path.
struct Registration {
    volatile std::sig_atomic_t used;
    bool directory;
    char path[4096];
};
constexpr int kRegistrations = 8;
Registration g_registered[kRegistrations];

void RemoveRegistered() {
    for (Registration& entry : g_registered) {
        if (entry.used == 0) continue;
        if (entry.directory) {
            RemovePrivateDirectory(entry.path);
        } else {
            unlink(entry.path);
        }
    }
}

extern "C" void OnSignal(int signal) {
    if (signal == SIGINT && g_interrupted == 0) {
        g_interrupted = 1;  // the transfer stops through the progress callback
        return;
    }
    const int savedErrno = errno;
    RemoveRegistered();
    // Blocked while the handler runs, the raised signal ends the process once it returns.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    errno = savedErrno;
}

}  // namespace

void InstallSignalHandlers() {
#if defined(_WIN32)
    for (const int signal : {SIGINT, SIGTERM}) std::signal(signal, OnSignal);
#else
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a Ctrl-C ends the password prompt's read
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(signal, &action, nullptr);
#endif
}

bool Interrupted() {
    return g_interrupted != 0;
}

int RegisterTemporary(const std::string& path, bool directory) {
    if (path.size() >= sizeof g_registered[0].path) return -1;
    for (int i = 0; i < kRegistrations; ++i) {
        Registration& entry = g_registered[i];
        if (entry.used != 0) continue;
        std::memcpy(entry.path, path.c_str(), path.size() + 1);
        entry.directory = directory;
        std::atomic_signal_fence(std::memory_order_seq_cst);
        entry.used = 1;
        return i;
    }
    return -1;
}

#if defined(_WIN32)
EndingSignalsHeld::EndingSignalsHeld() = default;
EndingSignalsHeld::~EndingSignalsHeld() = default;
#else
EndingSignalsHeld::EndingSignalsHeld() {
    sigset_t ending;
    sigemptyset(&ending);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&ending, signal);
    pthread_sigmask(SIG_BLOCK, &ending, &m_previous);
}

EndingSignalsHeld::~EndingSignalsHeld() {
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}
#endif

void UnregisterTemporary(int registration) {
    if (registration >= 0 && registration < kRegistrations) g_registered[registration].used = 0;
}

void RemovePrivateDirectory(const char* path) {
#if defined(__linux__)
    // getdents64 and unlinkat, unlike opendir, allocate nothing: this runs in signal handlers.
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        alignas(8) char buffer[4096];
        // Two passes: entries removed while the directory is read may hide others.
        for (int pass = 0; pass < 2; ++pass) {
            lseek(fd, 0, SEEK_SET);
            long n = 0;
            while ((n = syscall(SYS_getdents64, fd, buffer, sizeof buffer)) > 0) {
                for (long at = 0; at < n;) {
                    // struct linux_dirent64: inode, offset, record length, type, name.
                    unsigned short length = 0;
                    std::memcpy(&length, buffer + at + 16, sizeof length);
                    const char* name = buffer + at + 19;
                    if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
                        unlinkat(fd, name, 0);
                    }
                    at += length;
                }
            }
        }
        close(fd);
    }
#else
    if (DIR* directory = opendir(path)) {
        while (const dirent* entry = readdir(directory)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
                continue;
            }
            unlink((std::string(path) + "/" + entry->d_name).c_str());
        }
        closedir(directory);
    }
#endif
    rmdir(path);
}

}  // namespace rktool
