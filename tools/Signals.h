// The signals that end the tool, and the temporary files they must not leave behind.
//
// The first Ctrl-C only marks the process as interrupted: the progress callback then asks
// libcurl to stop, and the command returns cleanly (status 130), its temporaries removed as
// their owners go. A second Ctrl-C, SIGTERM, SIGHUP and SIGPIPE end the process at once: the
// handler removes every registered temporary, then raises the signal again with the default
// action, so the process's status is the signal's.
#pragma once

#include <string>
#if !defined(_WIN32)
#include <signal.h>
#endif

namespace rktool {

void InstallSignalHandlers();
bool Interrupted();

// Registers a temporary file, or a private directory that goes with everything in it, for
// removal when a signal ends the process. Returns the registration, or -1 when there is no
// room (the owner still removes it on a normal exit).
int RegisterTemporary(const std::string& path, bool directory);

// Holds back the signals that end the process while it lives, so that no temporary is left
// between its creation and its registration; one that arrives meanwhile is taken at its end.
class EndingSignalsHeld {
public:
    EndingSignalsHeld();
    ~EndingSignalsHeld();
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
#if !defined(_WIN32)
    sigset_t m_previous;
#endif
};
void UnregisterTemporary(int registration);

// Removes the directory at path with the files in it (one level: the tool's private
// directories hold files only). Safe to call from a signal handler on Linux.
void RemovePrivateDirectory(const char* path);

}  // namespace rktool
