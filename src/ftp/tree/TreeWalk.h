// The walk of a tree transfer: lists the source and the destination directory by directory
// and plans an action for every entry below the root, handing each file to transfer and each
// directory to create to the caller as soon as it is planned (before what lies below it), so
// that the work starts while later directories are still being listed.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ftp/tree/TreePlan.h"
#include "ftp/tree/TreeState.h"

namespace rkcurl {
namespace ftp {

struct WalkRules {
    const TreeSettings* settings = nullptr;
    bool (*isSafeName)(const std::string& name) = nullptr;  // of the names the source lists
    bool timesSettable = false;    // the destination's times can be set to the source's
    int refusedCode = 0;           // RKERR_GET_TREE or RKERR_PUT_TREE
    int directoryFailureCode = 0;  // a file stands where the source has a directory
    int maxDepth = 64;             // directories listed below the root at most
    // A file planned for transfer (without a hash to compare first) or a directory planned
    // for creation; the entry stays in place until the walk is destroyed.
    std::function<void(PlannedEntry& entry)> planned;
};

class TreeWalk {
public:
    TreeWalk(TreeSide& source, TreeSide& destination, const WalkRules& rules)
        : m_source(source), m_destination(destination), m_rules(rules) {}

    // Walks from the root; destinationHasRoot false: the destination root is missing (dry
    // run), so everything is missing there. False when the root of either side could not
    // be listed (rootFailure says why).
    bool Run(bool destinationHasRoot, Failure& rootFailure);

    // Every entry the source has, parents before children; then, with SetTreeDelete and
    // every listing of the source successful, what only the destination has (RKTREE_DELETED),
    // deepest first.
    std::deque<PlannedEntry> entries;
    bool sourceListingFailed = false;

private:
    // Lists directory on both sides and plans its entries; self is the directory's own entry
    // (-1 for the root).
    bool WalkDirectory(const std::string& directory, int depth, bool destinationHas, long self,
                       Failure& rootFailure);
    // Plans the deletion of item (at the destination only) and, for a directory, of all below.
    void PlanDeletion(const std::string& directory, const TreeItem& item, int depth);
    std::size_t Add(const std::string& path, int depth, const TreeItem& item);

    TreeSide& m_source;
    TreeSide& m_destination;
    const WalkRules m_rules;
    std::vector<PlannedEntry> m_deletions;
};

}  // namespace ftp
}  // namespace rkcurl
