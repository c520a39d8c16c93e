// CRFTP::RemoveDirectoryTree: depth-first removal built from the object's own operations.
#include <RKLogging/RKLogging.h>

#include <cstring>
#include <string>
#include <utility>

#include "RKCurl/CRFTP.h"
#include "connection/ConnectionAccess.h"
#include "connection/RecordFailure.h"
#include "ftp/FindRecord.h"
#include "ftp/FtpState.h"

using oru::shared::error::RKERR_DELETE_FILE;
using oru::shared::error::RKERR_REMOVE_DIR;
using rkcurl::ConnectionAccess;
using rkcurl::RecordFailure;

namespace {

// Puts the caller's listing and position back when a level of the walk ends, on every path.
// The listing is moved aside rather than copied: the walk replaces it before reading it.
class SavedEnumeration {
public:
    SavedEnumeration(std::vector<WIN32_FIND_DATAW>& data, std::uint64_t& index,
                     std::vector<std::uint8_t>& marks)
        : m_data(data),
          m_index(index),
          m_marks(marks),
          m_savedData(std::move(data)),
          m_savedIndex(index),
          m_savedMarks(std::move(marks)) {
        m_data.clear();
        m_marks.clear();
    }
    ~SavedEnumeration() {
        m_data = std::move(m_savedData);
        m_index = m_savedIndex;
        m_marks = std::move(m_savedMarks);
    }
    SavedEnumeration(const SavedEnumeration&) = delete;
    SavedEnumeration& operator=(const SavedEnumeration&) = delete;

private:
    std::vector<WIN32_FIND_DATAW>& m_data;
    std::uint64_t& m_index;
    std::vector<std::uint8_t>& m_marks;
    std::vector<WIN32_FIND_DATAW> m_savedData;
    std::uint64_t m_savedIndex;
    std::vector<std::uint8_t> m_savedMarks;
};

bool IsDotEntry(const wchar_t* name) {
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// A name that could lead out of the directory or carry a second command onto the control
// connection; a name listed with a zero byte is cut in its record and would name another file.
bool IsUnsafeName(const wchar_t* name, std::uint8_t marks) {
    return (marks & rkcurl::ftp::kUnsafeName) != 0 || name[0] == L'\0' ||
           std::wcspbrk(name, L"/\\\r\n") != nullptr;
}

bool IsSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

// A path that names no directory below the session's: empty, only separators, or ending
// (trailing separators aside) in "." or "..". Removing it would empty the session's
// directory, a parent, or the whole server.
bool IsRefusedPath(const wchar_t* path) {
    if (path == nullptr) return true;
    std::wstring rest(path);
    while (!rest.empty() && IsSeparator(rest.back())) rest.pop_back();
    if (rest.empty()) return true;
    std::size_t begin = rest.size();
    while (begin > 0 && !IsSeparator(rest[begin - 1])) --begin;
    const std::wstring last = rest.substr(begin);
    return last == L"." || last == L"..";
}

int RemoveTreeSteps(CRFTP& ftp, const wchar_t* path, int depth);
int RemoveTreeEntry(CRFTP& ftp, const WIN32_FIND_DATAW& entry, std::uint8_t marks, int depth);

// RemoveDirectoryTree for a directory depth levels below the walk's path.
int RemoveTreeLevel(CRFTP& ftp, const wchar_t* path, int depth) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::RemoveDirectoryTree", nullptr);
    if (IsRefusedPath(path)) return RecordFailure(ftp, RKERR_REMOVE_DIR, 0);  // nothing sent
    const SavedEnumeration saved(ConnectionAccess::FindData(ftp), ConnectionAccess::FindIndex(ftp),
                                 ConnectionAccess::State(ftp).findMarks);
    return RemoveTreeSteps(ftp, path, depth);
}

// Steps 2 to 7 of RemoveDirectoryTree; returns 0 or the recorded code.
int RemoveTreeSteps(CRFTP& ftp, const wchar_t* path, int depth) {
    wchar_t savedDirectory[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    if (ftp.GetCurrentDirectoryW(savedDirectory, &length) != 0) {
        return RecordFailure(ftp, RKERR_REMOVE_DIR, ConnectionAccess::LastCurlCode(ftp));
    }
    // A directory cut to fit the buffer would be another directory: the walk would go back
    // there and remove path from it. Stop before entering instead.
    if (ConnectionAccess::GetHREF(ftp) != savedDirectory)
        return RecordFailure(ftp, RKERR_REMOVE_DIR, ConnectionAccess::LastCurlCode(ftp));
    if (ftp.SetCurrentDirectoryW(path) != 0)
        return RecordFailure(ftp, RKERR_REMOVE_DIR, ConnectionAccess::LastCurlCode(ftp));

    std::uint64_t& index = ConnectionAccess::FindIndex(ftp);
    const std::vector<WIN32_FIND_DATAW>& listing = ConnectionAccess::FindData(ftp);
    WIN32_FIND_DATAW current;
    const int listed = ftp.FindFirstFileW(current);
    if (listed != 0 && listed != -1)
        return RecordFailure(ftp, RKERR_REMOVE_DIR, ConnectionAccess::LastCurlCode(ftp));
    if (listed == 0) {
        for (;;) {
            const int removed =
                RemoveTreeEntry(ftp, current, ConnectionAccess::State(ftp).findMarks[index], depth);
            if (removed != 0) return removed;
            // The advance of FindNextFileW; a nested level has put this level's listing back.
            if (index + 1 >= listing.size()) break;
            ++index;
            current = listing[index];
        }
    }

    if (ftp.SetCurrentDirectoryW(savedDirectory) != 0) {
        return RecordFailure(ftp, RKERR_REMOVE_DIR, ConnectionAccess::LastCurlCode(ftp));
    }
    if (ftp.RemoveDirectoryW(path) != 0)
        return RecordFailure(ftp, RKERR_REMOVE_DIR, ConnectionAccess::LastCurlCode(ftp));
    return 0;
}

// Deletes or descends into one listed entry; returns 0 or the recorded code.
int RemoveTreeEntry(CRFTP& ftp, const WIN32_FIND_DATAW& entry, std::uint8_t marks, int depth) {
    const wchar_t* name = entry.cFileName;
    if (IsDotEntry(name) || IsUnsafeName(name, marks)) return 0;  // never acted on
    const bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (marks & rkcurl::ftp::kMayBeLink) != 0;
    if (directory && !link) {
        // A listing that shows a directory inside every directory (a loop, a link shown as a
        // directory) would otherwise lead the walk down without end.
        if (depth >= CRFTP::kRemoveTreeMaxDepth) {
            return RecordFailure(ftp, RKERR_REMOVE_DIR, ConnectionAccess::LastCurlCode(ftp));
        }
        if (RemoveTreeLevel(ftp, name, depth + 1) != 0) {
            return RecordFailure(ftp, RKERR_REMOVE_DIR, ConnectionAccess::LastCurlCode(ftp));
        }
        return 0;
    }
    // Files, and links as the links themselves: the target of a link stays untouched.
    if (ftp.DeleteFileW(name) != 0)
        return RecordFailure(ftp, RKERR_DELETE_FILE, ConnectionAccess::LastCurlCode(ftp));
    return 0;
}

}  // namespace

int CRFTP::RemoveDirectoryTree(const wchar_t* path) {
    return RemoveTreeLevel(*this, path, 0);
}
