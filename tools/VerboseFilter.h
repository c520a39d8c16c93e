// libcurl's verbose trace (-v) is written by libcurl straight to standard error and shows the
// login: "PASS <password>" for FTP, "Authorization: Basic ..." for HTTP. While a filter is
// active, standard error runs through a pipe and a thread that masks those texts before they
// reach the real standard error.
#pragma once

#include <string>
#include <thread>
#include <vector>

namespace rktool {

// Masks every secret and the login lines in one piece of trace text.
std::string MaskSecrets(const std::string& text, const std::vector<std::string>& secrets);

class VerboseFilter {
public:
    // Does nothing when secrets is empty or the pipe cannot be made.
    explicit VerboseFilter(std::vector<std::string> secrets);
    ~VerboseFilter();  // drains the pipe and gives standard error back
    VerboseFilter(const VerboseFilter&) = delete;
    VerboseFilter& operator=(const VerboseFilter&) = delete;

private:
    void Pump(int readFd);

    std::vector<std::string> m_secrets;
    int m_savedStderr = -1;
    std::thread m_pump;
};

}  // namespace rktool
