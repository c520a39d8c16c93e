// CRTreeEntry: one line of the report of a tree transfer (CRFTP::GetDirectoryTree and
// CRFTP::PutDirectoryTree), and the constants of the tree settings and actions.
//
// A report holds one entry per file and directory considered below the tree's root, sorted by
// path. Plain values: copying a report copies everything it says.
#pragma once

#include <cstdint>
#include <string>

// How a tree transfer decides that a file at the destination must be transferred again
// (CRFTP::SetTreeCompare).
enum RKTreeCompare : int {
    // Missing at the destination, or differing in size or in modification time beyond the
    // precision the listing gives (1 s for MLSD and MDTM, 60 s for a time, a day for a date).
    RKTREE_SIZE_AND_TIME = 0,
    RKTREE_MISSING = 1,   // only what is missing at the destination
    RKTREE_ALWAYS = 2,    // every file
    RKTREE_CHECKSUM = 3,  // files of equal size are compared by the server's hash
};

// What a tree transfer did (or, in a dry run, would do) with one entry.
enum RKTreeAction : int {
    RKTREE_UNCHANGED = 0,
    RKTREE_COPIED = 1,             // the destination did not have it
    RKTREE_UPDATED = 2,            // the destination had it and it was transferred again
    RKTREE_DELETED = 3,            // at the destination only, deleted (SetTreeDelete)
    RKTREE_CREATED_DIRECTORY = 4,  // a directory the destination did not have
    RKTREE_FAILED = 5,             // code and extendedCode say why
    RKTREE_REFUSED = 6,            // a name that is not safe, or a directory too deep
    RKTREE_SKIPPED = 7,            // a link or special entry, never followed
};

struct CRTreeEntry {
    std::wstring path;  // relative to the tree's root, "/" between names
    int action = RKTREE_UNCHANGED;
    std::uint64_t bytes = 0;  // transferred
    int code = 0;             // the entry's failure: an RKERR_ code
    int extendedCode = 0;     // libcurl's result, or 0
};
