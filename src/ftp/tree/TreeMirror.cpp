#include "ftp/tree/TreeMirror.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>

#include "RKCurl/TextConversion.h"
#include "ftp/tree/FileHashes.h"
#include "ftp/tree/LocalTree.h"
#include "ftp/tree/RemoteTree.h"
#include "ftp/tree/SafeNames.h"
#include "ftp/tree/TreeAccess.h"
#include "ftp/tree/TreeTransfers.h"
#include "ftp/tree/TreeWalk.h"
#include "platform/LocalFiles.h"

using oru::shared::error::RKERR_CREATE_DIR;
using oru::shared::error::RKERR_FILE_OPEN;
using oru::shared::error::RKERR_GET_FILE;
using oru::shared::error::RKERR_GET_TREE;
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_PUT_TREE;

namespace rkcurl {
namespace ftp {

namespace {

using Entries = std::deque<PlannedEntry>;

// libcurl can park a transfer on a reused connection without a socket or timer to wake it (see
// PolledPerform.h); a tree meets that for most of its files, so its performer waits at most a
// millisecond per step rather than the 20 ms a single transfer can afford.
constexpr int kTreePollCapMs = 1;

constexpr wchar_t kNoChecksum[] =
    L"the server offers no checksum command (HASH, XSHA256, XSHA1, XMD5, XCRC)";

// The call fails as a whole: why (when known), then the tree's own code with why's code as the
// extended one.
int FailTree(CRFTP& session, const Failure& why, int treeCode, const wchar_t* message = nullptr) {
    if (why.code != 0) TreeAccess::Record(session, why);
    TreeAccess::Record(session, Failure{treeCode, why.code, why.detail});
    if (message != nullptr) TreeAccess::SetMessage(session, message);
    return treeCode;
}

// The plan becomes the report, sorted by path; one record per failed or refused entry, then
// the tree's code with the first failed entry's code as the extended one.
int Conclude(CRFTP& session, const Entries& entries, int treeCode) {
    std::vector<CRTreeEntry> report;
    std::vector<const Failure*> failures;
    report.reserve(entries.size());
    for (const PlannedEntry& entry : entries) {
        CRTreeEntry line;
        line.path = oru::helper::NarStrToWideStr(entry.path);
        line.action = entry.action;
        line.bytes = entry.bytes;
        const bool failed = entry.action == RKTREE_FAILED || entry.action == RKTREE_REFUSED;
        if (failed) {
            line.code = entry.failure.code;
            line.extendedCode = entry.failure.extendedCode;
        }
        report.push_back(line);
        failures.push_back(failed ? &entry.failure : nullptr);
    }
    std::vector<std::size_t> order(report.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return report[a].path < report[b].path; });
    TreeState& state = TreeAccess::State(session);
    state.report.clear();
    const Failure* first = nullptr;
    for (const std::size_t i : order) {
        state.report.push_back(report[i]);
        if (failures[i] == nullptr) continue;
        TreeAccess::Record(session, *failures[i]);
        if (first == nullptr) first = failures[i];
    }
    if (first == nullptr) return 0;
    TreeAccess::Record(session, Failure{treeCode, first->code, first->detail});
    return treeCode;
}

// The planned files go to the transfers at once; a planned directory is made before anything
// is planned below it.
std::function<void(PlannedEntry&)> StartPlanned(TreeSide& destination, TreeTransfers& transfers) {
    return [&destination, &transfers](PlannedEntry& entry) {
        if (!entry.directory) {
            transfers.Add(entry);
            return;
        }
        Failure failure;
        if (!destination.MakeDirectory(entry.path, failure)) entry.Fail(failure);
    };
}

// The files still running or waiting; false when the host's progress callback stopped them.
bool FinishTransfers(MultiPerformer& performer, TreeTransfers& transfers) {
    performer.Run();
    transfers.FailUnfinished();
    return !transfers.Aborted();
}

// The files not handed over during the walk: those whose hashes, compared after it, differ.
void TransferRest(TreeTransfers& transfers, Entries& entries) {
    for (PlannedEntry& entry : entries) {
        if (entry.Transfers()) transfers.Add(entry);
    }
}

// Equal hashes on both sides; false with failure when a hash cannot be had.
bool SameHashes(RemoteTree& remote, const LocalTree& local, const PlannedEntry& entry, bool& same,
                Failure& failure) {
    std::string remoteHex;
    std::string localHex;
    if (!remote.Hash(entry.path, remoteHex, failure)) return false;
    if (!HashFile(local.WidePath(entry.path), remote.Features().hashKind, localHex)) {
        failure = Failure{RKERR_FILE_OPEN, 0, "the local file cannot be read"};
        return false;
    }
    same = remoteHex == localHex;
    return true;
}

// Before the transfers: files of equal size whose hashes differ are updated.
void DecideByHashes(RemoteTree& remote, const LocalTree& local, Entries& entries) {
    for (PlannedEntry& entry : entries) {
        if (!entry.compareHashes || entry.action != RKTREE_UNCHANGED) continue;
        bool same = false;
        Failure failure;
        if (!SameHashes(remote, local, entry, same, failure)) {
            entry.Fail(failure);
        } else if (!same) {
            entry.action = RKTREE_UPDATED;
        }
    }
}

// After the transfers: a transferred file counts only when the hashes agree.
void VerifyHashes(RemoteTree& remote, const LocalTree& local, Entries& entries, int failureCode) {
    for (PlannedEntry& entry : entries) {
        if (!entry.Transfers()) continue;
        bool same = false;
        Failure failure;
        if (!SameHashes(remote, local, entry, same, failure)) {
            entry.Fail(failure);
        } else if (!same) {
            entry.Fail(Failure{failureCode, CURLE_PARTIAL_FILE,
                               "the hash at the destination differs from the source's"});
        }
    }
}

// After the uploads: a file counts only when the server lists it with the local size. One
// listing per directory that received files, rather than a SIZE after each STOR, which
// libcurl would wait for while every other transfer stands still.
void VerifyRemoteSizes(RemoteTree& remote, Entries& entries) {
    std::map<std::string, std::vector<PlannedEntry*>> byDirectory;
    for (PlannedEntry& entry : entries) {
        if (!entry.Transfers()) continue;
        const std::size_t slash = entry.path.rfind('/');
        byDirectory[slash == std::string::npos ? "" : entry.path.substr(0, slash)].push_back(
            &entry);
    }
    for (const auto& directory : byDirectory) {
        std::vector<TreeItem> items;
        Failure failure;
        if (!remote.List(directory.first, items, failure)) {
            for (PlannedEntry* entry : directory.second) entry->Fail(failure);
            continue;
        }
        std::map<std::string, const TreeItem*> listed;
        for (const TreeItem& item : items) listed.emplace(item.name, &item);
        for (PlannedEntry* entry : directory.second) {
            const std::size_t slash = entry->path.rfind('/');
            const auto found = listed.find(
                slash == std::string::npos ? entry->path : entry->path.substr(slash + 1));
            if (found == listed.end() ||
                (found->second->sizeKnown && found->second->size != entry->source.size)) {
                entry->Fail(Failure{RKERR_PERFORM, CURLE_PARTIAL_FILE,
                                    "the size at the destination differs from the source's"});
            }
        }
    }
}

void Delete(TreeSide& destination, Entries& entries) {
    Failure failure;
    for (PlannedEntry& entry : entries) {  // deepest first, as planned
        if (entry.action != RKTREE_DELETED) continue;
        const bool removed = entry.directory ? destination.RemoveEmptyDirectory(entry.path, failure)
                                             : destination.RemoveFile(entry.path, failure);
        if (!removed) entry.Fail(failure);
    }
}

bool IsSafeRemoteSourceName(const std::string& name) {
    return IsSafeLocalName(name);
}

bool IsSafeLocalSourceName(const std::string& name) {
    return IsSafeRemoteName(name);
}

}  // namespace

int MirrorRemoteToLocal(CRFTP& session, const std::string& remoteRoot,
                        const std::wstring& localRoot) {
    const TreeSettings settings = TreeAccess::State(session).settings;
    TreeAccess::State(session).report.clear();
    if (localRoot.empty())
        return FailTree(session, Failure{RKERR_FILE_OPEN, 0, ""}, RKERR_GET_TREE);
    const rkplatform::UmaskSnapshot umask;  // the mode of every new local file, read once
    MultiPerformer performer;               // every request of the tree, listings first
    performer.LimitConnections(settings.connections);
    performer.SetPollCap(kTreePollCapMs);
    RemoteTree remote(session, remoteRoot, performer);
    LocalTree local(localRoot);
    Failure failure;
    if (!remote.Open(false, failure)) return FailTree(session, failure, RKERR_GET_TREE);
    if (settings.compare == RKTREE_CHECKSUM && !remote.Features().hash) {
        return FailTree(session, Failure{}, RKERR_GET_TREE, kNoChecksum);
    }
    const bool localExists = local.RootExists();
    if (!settings.dryRun && !local.MakeRoot()) {
        return FailTree(session, Failure{RKERR_FILE_OPEN, 0, ""}, RKERR_GET_TREE);
    }

    JobOptions options;
    options.direction = TreeDirection::Download;
    options.remoteRoot = remoteRoot;
    options.keepTimes = settings.keepTimes;
    TreeTransfers transfers(session, local, options, performer, settings.connections);
    WalkRules rules;
    rules.settings = &settings;
    rules.isSafeName = &IsSafeRemoteSourceName;
    rules.timesSettable = settings.keepTimes;
    rules.refusedCode = RKERR_GET_TREE;
    rules.directoryFailureCode = RKERR_FILE_OPEN;
    rules.maxDepth = CRFTP::kRemoveTreeMaxDepth;
    if (!settings.dryRun) rules.planned = StartPlanned(local, transfers);
    TreeWalk walk(remote, local, rules);
    if (!walk.Run(localExists || !settings.dryRun, failure)) {
        FinishTransfers(performer, transfers);
        return FailTree(session, failure, RKERR_GET_TREE);
    }
    Entries& entries = walk.entries;
    if (settings.compare == RKTREE_CHECKSUM) DecideByHashes(remote, local, entries);
    if (!settings.dryRun) {
        TransferRest(transfers, entries);
        const bool completed = FinishTransfers(performer, transfers);
        if (settings.compare == RKTREE_CHECKSUM) {
            VerifyHashes(remote, local, entries, RKERR_GET_FILE);
        }
        if (completed) Delete(local, entries);
    }
    remote.Close();
    return Conclude(session, entries, RKERR_GET_TREE);
}

int MirrorLocalToRemote(CRFTP& session, const std::wstring& localRoot,
                        const std::string& remoteRoot) {
    const TreeSettings settings = TreeAccess::State(session).settings;
    TreeAccess::State(session).report.clear();
    LocalTree local(localRoot);
    if (localRoot.empty() || !local.RootExists()) {
        return FailTree(session, Failure{RKERR_FILE_OPEN, 0, ""}, RKERR_PUT_TREE);
    }
    MultiPerformer performer;  // every request of the tree, listings first
    performer.LimitConnections(settings.connections);
    performer.SetPollCap(kTreePollCapMs);
    RemoteTree remote(session, remoteRoot, performer);
    Failure failure;
    // The root and its parents are made unless this is a dry run, which only looks.
    const bool remoteExists = remote.Open(!settings.dryRun, failure);
    if (!remoteExists && !settings.dryRun) return FailTree(session, failure, RKERR_PUT_TREE);
    ServerFeatures features;
    if (remoteExists) features = remote.Features();
    if (remoteExists && settings.compare == RKTREE_CHECKSUM && !features.hash) {
        return FailTree(session, Failure{}, RKERR_PUT_TREE, kNoChecksum);
    }

    JobOptions options;
    options.direction = TreeDirection::Upload;
    options.remoteRoot = remoteRoot;
    options.keepTimes = settings.keepTimes;
    options.setRemoteTimes = settings.keepTimes && features.mfmt;
    TreeTransfers transfers(session, local, options, performer, settings.connections);
    WalkRules rules;
    rules.settings = &settings;
    rules.isSafeName = &IsSafeLocalSourceName;
    rules.timesSettable = settings.keepTimes && features.mfmt;
    rules.refusedCode = RKERR_PUT_TREE;
    rules.directoryFailureCode = RKERR_CREATE_DIR;
    rules.maxDepth = CRFTP::kRemoveTreeMaxDepth;
    if (!settings.dryRun) rules.planned = StartPlanned(remote, transfers);
    TreeWalk walk(local, remote, rules);
    if (!walk.Run(remoteExists, failure)) {
        FinishTransfers(performer, transfers);
        return FailTree(session, failure, RKERR_PUT_TREE);
    }
    Entries& entries = walk.entries;
    if (remoteExists && settings.compare == RKTREE_CHECKSUM) {
        DecideByHashes(remote, local, entries);
    }
    if (!settings.dryRun) {
        TransferRest(transfers, entries);
        const bool completed = FinishTransfers(performer, transfers);
        VerifyRemoteSizes(remote, entries);
        if (settings.compare == RKTREE_CHECKSUM) {
            VerifyHashes(remote, local, entries, RKERR_PERFORM);
        }
        if (completed) Delete(remote, entries);
    }
    remote.Close();
    return Conclude(session, entries, RKERR_PUT_TREE);
}

}  // namespace ftp
}  // namespace rkcurl
