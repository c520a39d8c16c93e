#include "ftp/tree/TreeCompare.h"

#include <algorithm>

#include "RKCurl/CRTreeEntry.h"

namespace rkcurl {
namespace ftp {

int CompareFile(const TreeItem& source, const TreeItem* destination, int mode, bool timesSettable,
                bool& compareHashes) {
    compareHashes = false;
    if (destination == nullptr) return RKTREE_COPIED;
    if (mode == RKTREE_MISSING) return RKTREE_UNCHANGED;
    if (mode == RKTREE_ALWAYS) return RKTREE_UPDATED;
    if (source.sizeKnown && destination->sizeKnown && source.size != destination->size) {
        return RKTREE_UPDATED;
    }
    if (mode == RKTREE_CHECKSUM) {
        compareHashes = true;
        return RKTREE_UNCHANGED;
    }
    if (source.precision == 0 || destination->precision == 0) return RKTREE_UNCHANGED;
    const std::int64_t precision = std::max(source.precision, destination->precision);
    const std::int64_t newer = source.time - destination->time;
    const bool differs =
        timesSettable ? (newer >= precision || -newer >= precision) : newer >= precision;
    return differs ? RKTREE_UPDATED : RKTREE_UNCHANGED;
}

}  // namespace ftp
}  // namespace rkcurl
