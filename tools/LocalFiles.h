// The local side of transfers: a private temporary file, whole-stream copies, the checks made
// before anything is sent or fetched, sizes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "PrivateDirectory.h"

namespace rktool {

// An empty private file (mode 0600, created exclusively) in a private directory of its own in
// $TMPDIR (else /tmp), "rkcurl-LABEL-XXXXXX/data"; removed with the object, or by the signal
// handler, with whatever else the directory holds (the library's part file of a download).
class TempFile {
public:
    // Creates the file; false, with errno kept, when it cannot be made.
    bool Make(const std::string& label);
    const std::string& Path() const { return m_path; }

private:
    PrivateDirectory m_directory;
    std::string m_path;
};

// Copies in to out in fixed chunks, so memory does not grow with the data. False on a read or
// write error.
bool CopyStream(std::FILE* in, std::FILE* out);

// Copies the file at from into the file at to (opened for writing, not replaced), or to
// standard output for "". False when either side fails.
bool CopyFileTo(const std::string& from, const std::string& to);

// Whether path names something that is there but is no regular file or directory (a device
// such as /dev/null, a pipe): a download must write into it, never rename a file over it.
bool IsSpecialFile(const std::string& path);

// Checks, before anything is fetched, that a download can be written at path: not a directory,
// in a directory that can be written; with append, an existing file must be writable, as must a
// special file (IsSpecialFile). False,
// with "cannot write PATH: reason" in error.
bool CheckDownloadTarget(const std::string& path, bool append, std::string& error);

// Checks that an upload can read the file at path (a directory opens, but reads fail). False,
// with "cannot read PATH: reason" in error.
bool CheckUploadSource(const std::string& path, std::string& error);

// The size of the file at path; 0 when there is none.
std::uint64_t LocalFileSize(const std::string& path);

// "1 byte", "300000 bytes".
std::string ByteCount(std::uint64_t bytes);

}  // namespace rktool
