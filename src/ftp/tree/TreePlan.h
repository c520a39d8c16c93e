// The plan of a tree transfer: one entry per file and directory considered, with the action
// planned for it and, once it ran, what became of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "RKCurl/CRTreeEntry.h"
#include "ftp/tree/TreeItem.h"

namespace rkcurl {
namespace ftp {

struct PlannedEntry {
    std::string path;  // relative to the root, "/" between names (the source's bytes)
    int depth = 0;     // 0: directly in the root
    bool directory = false;
    int action = RKTREE_UNCHANGED;
    TreeItem source;             // what the source listed (for deletions: the destination)
    bool compareHashes = false;  // RKTREE_CHECKSUM: equal sizes, the hashes decide
    bool queued = false;         // handed to the transfers
    std::uint64_t bytes = 0;
    Failure failure;

    void Fail(const Failure& why) {
        action = RKTREE_FAILED;
        failure = why;
        bytes = 0;
    }
    bool Transfers() const {
        return !directory && (action == RKTREE_COPIED || action == RKTREE_UPDATED);
    }
};

}  // namespace ftp
}  // namespace rkcurl
