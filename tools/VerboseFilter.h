// libcurl's verbose trace (-v) is written by libcurl straight to standard error and shows the
// login: "PASS <password>" for FTP, "Authorization: Basic ..." for HTTP. While a filter is
// active, standard error runs through a pipe and a thread that masks those texts before they
// reach the real standard error.
#pragma once

#include <string>
#include <thread>

namespace rktool {

// Masks the places a trace shows a password, in each line of text: the argument of an FTP
// "PASS" command, the credentials of an "Authorization:" or "Proxy-Authorization:" header
// (its scheme word kept) and the password of a "scheme://user:password@" URL. Nothing else
// is touched, so a short password never mangles the rest of the trace.
std::string MaskSecrets(const std::string& text);

class VerboseFilter {
public:
    // Does nothing when the pipe cannot be made.
    VerboseFilter();
    ~VerboseFilter();  // drains the pipe and gives standard error back
    VerboseFilter(const VerboseFilter&) = delete;
    VerboseFilter& operator=(const VerboseFilter&) = delete;

private:
    void Pump(int readFd);

    int m_savedStderr = -1;
    std::thread m_pump;
};

}  // namespace rktool
