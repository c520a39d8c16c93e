#include "ftp/tree/TreeWalk.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "ftp/tree/SafeNames.h"
#include "ftp/tree/TreeCompare.h"

namespace rkcurl {
namespace ftp {

bool TreeWalk::Run(bool destinationHasRoot, Failure& rootFailure) {
    entries.clear();
    m_deletions.clear();
    sourceListingFailed = false;
    if (!WalkDirectory("", 0, destinationHasRoot, -1, rootFailure)) return false;
    if (!sourceListingFailed) {
        // Deepest first, so a directory is emptied before it goes.
        std::stable_sort(
            m_deletions.begin(), m_deletions.end(),
            [](const PlannedEntry& a, const PlannedEntry& b) { return a.depth > b.depth; });
        entries.insert(entries.end(), m_deletions.begin(), m_deletions.end());
    }
    m_deletions.clear();
    return true;
}

std::size_t TreeWalk::Add(const std::string& path, int depth, const TreeItem& item) {
    PlannedEntry entry;
    entry.path = path;
    entry.depth = depth;
    entry.directory = item.kind == ItemKind::Directory;
    entry.source = item;
    entries.push_back(entry);
    return entries.size() - 1;
}

bool TreeWalk::WalkDirectory(const std::string& directory, int depth, bool destinationHas,
                             long self, Failure& rootFailure) {
    Failure failure;
    std::vector<TreeItem> sourceItems;
    if (!m_source.List(directory, sourceItems, failure)) {
        if (self < 0) {
            rootFailure = failure;
            return false;
        }
        entries[static_cast<std::size_t>(self)].Fail(failure);
        sourceListingFailed = true;
        return true;
    }
    std::vector<TreeItem> destinationItems;
    if (destinationHas && !m_destination.List(directory, destinationItems, failure)) {
        if (self < 0) {
            rootFailure = failure;
            return false;
        }
        entries[static_cast<std::size_t>(self)].Fail(failure);
        return true;
    }
    std::map<std::string, const TreeItem*> atDestination;
    for (const TreeItem& item : destinationItems) atDestination.emplace(item.name, &item);

    const TreeSettings& settings = *m_rules.settings;
    std::set<std::string> seen;
    // The directory's files are planned (and handed over) before any directory below it is
    // listed, so that they start while the walk goes on.
    std::vector<std::pair<std::size_t, bool>> below;  // entry, present at the destination
    for (const TreeItem& item : sourceItems) {
        // "." and ".." are no entries; a name listed twice counts once.
        if (IsDotName(item.name) || !seen.insert(item.name).second) continue;
        const std::string path = JoinTreePath(directory, item.name);
        const std::size_t index = Add(path, depth, item);
        if (!m_rules.isSafeName(item.name)) {
            entries[index].action = RKTREE_REFUSED;
            entries[index].failure = Failure{m_rules.refusedCode, 0, "unsafe name"};
            continue;
        }
        if (item.kind == ItemKind::Link || item.kind == ItemKind::Other) {
            entries[index].action = RKTREE_SKIPPED;  // never followed
            continue;
        }
        const auto found = atDestination.find(item.name);
        const TreeItem* there = found == atDestination.end() ? nullptr : found->second;
        if (item.kind == ItemKind::Directory) {
            if (depth + 1 > m_rules.maxDepth) {
                entries[index].action = RKTREE_REFUSED;
                entries[index].failure = Failure{m_rules.refusedCode, 0, "too deep"};
                continue;
            }
            if (there != nullptr && there->kind != ItemKind::Directory) {
                entries[index].Fail(
                    Failure{m_rules.directoryFailureCode, 0, "not a directory at the destination"});
                continue;
            }
            entries[index].action = there != nullptr ? RKTREE_UNCHANGED : RKTREE_CREATED_DIRECTORY;
            if (there == nullptr && m_rules.planned) m_rules.planned(entries[index]);
            below.emplace_back(index, there != nullptr);
            continue;
        }
        if (there != nullptr && there->kind == ItemKind::Directory) {
            entries[index].Fail(
                Failure{m_rules.directoryFailureCode, 0, "a directory at the destination"});
            continue;
        }
        bool compareHashes = false;
        entries[index].action =
            CompareFile(item, there, settings.compare, m_rules.timesSettable, compareHashes);
        entries[index].compareHashes = compareHashes;
        if (entries[index].Transfers() && m_rules.planned) m_rules.planned(entries[index]);
    }
    for (const auto& [index, present] : below) {
        WalkDirectory(entries[index].path, depth + 1, present, static_cast<long>(index),
                      rootFailure);
    }
    if (!settings.remove) return true;
    for (const TreeItem& item : destinationItems) {
        if (seen.count(item.name) != 0 || !IsSafeRemoteName(item.name)) continue;
        PlanDeletion(directory, item, depth);
    }
    return true;
}

void TreeWalk::PlanDeletion(const std::string& directory, const TreeItem& item, int depth) {
    PlannedEntry entry;
    entry.path = JoinTreePath(directory, item.name);
    entry.depth = depth;
    entry.directory = item.kind == ItemKind::Directory;
    entry.source = item;
    entry.action = RKTREE_DELETED;
    if (entry.directory) {
        std::vector<TreeItem> below;
        Failure failure;
        if (depth + 1 > m_rules.maxDepth) {
            entry.action = RKTREE_REFUSED;
            entry.failure = Failure{m_rules.refusedCode, 0, "too deep"};
        } else if (!m_destination.List(entry.path, below, failure)) {
            entry.Fail(failure);
        } else {
            for (const TreeItem& child : below) {
                if (IsSafeRemoteName(child.name)) PlanDeletion(entry.path, child, depth + 1);
            }
        }
    }
    m_deletions.push_back(entry);
}

}  // namespace ftp
}  // namespace rkcurl
