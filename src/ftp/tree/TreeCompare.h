// Whether a file of the source must be transferred to the destination.
#pragma once

#include "ftp/tree/TreeItem.h"

namespace rkcurl {
namespace ftp {

// The planned action for a source file: RKTREE_COPIED when the destination lacks it,
// RKTREE_UPDATED or RKTREE_UNCHANGED as mode (RKTREE_*) decides. Times differ when they lie
// apart by at least the coarser precision of the two listings; when the destination's time
// cannot be set to the source's (timesSettable false), only a source newer by that much
// counts, so an unchanged file is not sent again for its later arrival time. Under
// RKTREE_CHECKSUM files of equal size are RKTREE_UNCHANGED with compareHashes set: their
// hashes decide.
int CompareFile(const TreeItem& source, const TreeItem* destination, int mode, bool timesSettable,
                bool& compareHashes);

}  // namespace ftp
}  // namespace rkcurl
