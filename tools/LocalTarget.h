// A download's local file. The data goes to a private temporary file beside the target (mode
// 0600, created exclusively, removed by the signal handler too), which replaces the target only
// when the transfer succeeded, with the target's mode: a failed download leaves an existing
// file as it was. Opening it checks the target before any transfer starts.
#pragma once

#include <string>

namespace rktool {

class LocalTarget {
public:
    LocalTarget() = default;
    ~LocalTarget();  // removes the temporary file unless committed
    LocalTarget(const LocalTarget&) = delete;
    LocalTarget& operator=(const LocalTarget&) = delete;

    // Creates the temporary file in the target's directory. False, with errno kept and the
    // reason in error, when the target is a directory or its directory is not writable.
    bool Open(const std::string& path, std::string& error);
    const std::string& TemporaryPath() const { return m_temporary; }
    // Moves the temporary file over the target. False, with the reason in error, on failure.
    bool Commit(std::string& error);

private:
    std::string m_path;
    std::string m_temporary;
    int m_registration = -1;
};

// The pattern of a temporary name beside path: "DIR/.NAME.rkcurl-XXXXXX".
std::string TemporaryNameBeside(const std::string& path);

// Gives file, which is about to replace target, the mode bits of target, or those of a new
// file when there is no target: a replaced file keeps its permissions.
void KeepMode(const std::string& file, const std::string& target);

}  // namespace rktool
