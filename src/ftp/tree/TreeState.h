// The tree transfer settings of a CRFTP and the report of its latest tree transfer: the one
// piece of tree state an object holds, deep-copied with it.
#pragma once

#include <vector>

#include "RKCurl/CRTreeEntry.h"

namespace rkcurl {
namespace ftp {

struct TreeSettings {
    int compare = RKTREE_SIZE_AND_TIME;
    bool remove = false;
    bool dryRun = false;
    int connections = 1;
    bool keepTimes = true;
};

struct TreeState {
    TreeSettings settings;
    std::vector<CRTreeEntry> report;
};

}  // namespace ftp
}  // namespace rkcurl
