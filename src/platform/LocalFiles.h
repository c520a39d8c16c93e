// Local file-system calls that a download needs beyond opening a stream: a new file beside a
// target under a name no one else uses, replacing the target with it, removing it again.
//
// Names are wide text; on POSIX they reach the file system as UTF-8, as _wfopen's do.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace rkplatform {

// Creates a file that did not exist before, named target + a unique suffix (so in target's
// directory), opened for binary writing and readable by its owner only while it fills. Stores
// its name in created; null when none can be made.
std::FILE* CreateFileBeside(const std::wstring& target, std::wstring& created);

// Gives the open file the permission bits of target, or, when it names no regular file, those
// a new file gets (0666 less the process's umask). Best effort: a file it cannot change stays
// private. Nothing on Windows, where the file already has the default attributes.
void TakeModeOf(std::FILE* file, const std::wstring& target);

// While one lives, TakeModeOf on this thread uses the umask read when it was made instead of
// reading it for each file: for a run of many downloads (a tree). Nested ones keep the first.
class UmaskSnapshot {
public:
    UmaskSnapshot();
    ~UmaskSnapshot();
    UmaskSnapshot(const UmaskSnapshot&) = delete;
    UmaskSnapshot& operator=(const UmaskSnapshot&) = delete;

private:
    bool m_taken = false;
};

// Moves from over to in one step, replacing a file that to names. True on success.
bool MoveOver(const std::wstring& from, const std::wstring& to);

// Removes the file; true when it is gone.
bool RemoveFile(const std::wstring& path);

// True when path names an existing directory.
bool IsDirectory(const std::wstring& path);

// fseek and ftell with 64-bit offsets (fseeko, _fseeki64): 0 on success, as fseek; -1 when the
// position cannot be told.
int Seek(std::FILE* file, std::int64_t offset, int origin);
std::int64_t Tell(std::FILE* file);

}  // namespace rkplatform
