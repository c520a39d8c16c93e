// A directory only the user can enter (mode 0700), made under a fresh name and removed with the
// files in it when the object goes or a signal ends the process. Temporary files live in one,
// so no other user can read them whatever their own mode, and the signal handler can remove
// files whose names the library chose.
#pragma once

#include <string>

namespace rktool {

class PrivateDirectory {
public:
    PrivateDirectory() = default;
    ~PrivateDirectory();
    PrivateDirectory(const PrivateDirectory&) = delete;
    PrivateDirectory& operator=(const PrivateDirectory&) = delete;

    // Makes the directory from pattern, whose last six characters are "XXXXXX". False, with
    // errno kept, when it cannot be made.
    bool Make(const std::string& pattern);
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    int m_registration = -1;
};

// The mode bits a new file gets (0666 without the umask).
unsigned NewFileMode();

// Restricts the files created while it lives to their owner (umask 077), so that a file the
// library makes for the tool is private from its first byte.
class OwnerOnlyFiles {
public:
    OwnerOnlyFiles();
    ~OwnerOnlyFiles();
    OwnerOnlyFiles(const OwnerOnlyFiles&) = delete;
    OwnerOnlyFiles& operator=(const OwnerOnlyFiles&) = delete;

private:
    unsigned m_saved;
};

}  // namespace rktool
