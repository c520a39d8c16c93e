// The file transfers of a tree, each a request of the request core run by the tree's
// MultiPerformer: downloads into files written beside their targets, uploads from local files.
// A download counts when the bytes written are the listed size; an upload when all of the
// local file was sent (the caller then checks the sizes the server lists).
//
// Files run on N slots, each a session of the tree's own that carries one file at a time; the
// sessions keep no connection cache, so the connections (logged in once, carrying many files)
// are the multi handle's, capped at N by the performer, which the tree's listings share.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "RKCurl/CRFTP.h"
#include "connection/MultiPerformer.h"
#include "ftp/tree/LocalTree.h"
#include "ftp/tree/TreePlan.h"

namespace rkcurl {
namespace ftp {

enum class TreeDirection { Download, Upload };

struct JobOptions {
    TreeDirection direction = TreeDirection::Download;
    std::string remoteRoot;  // FTP path ending in "/"
    bool keepTimes = true;
    bool setRemoteTimes = false;  // uploads: MFMT after STOR (sent with a later request)
};

class TreeTransfers {
public:
    // connections: the number of slots, the performer's cap.
    TreeTransfers(const CRFTP& origin, const LocalTree& local, const JobOptions& options,
                  MultiPerformer& performer, int connections);
    ~TreeTransfers();
    TreeTransfers(const TreeTransfers&) = delete;
    TreeTransfers& operator=(const TreeTransfers&) = delete;

    // Queues the entry's file (once); it starts on the performer as soon as a slot is free. The
    // entry must stay in place until the performer has run; it gets its bytes or its failure.
    void Add(PlannedEntry& entry);
    // Files queued that never ran (the host's progress callback stopped the tree) fail as
    // aborted.
    void FailUnfinished();
    bool Aborted() const { return m_aborted; }

    // The progress of the whole tree, for the host's callback; non-zero stops the tree.
    int Progress(std::size_t slot, double now);

    struct Slot;
    class FileRequest;
    class TimesRequest;

private:
    // Starts queued files on the free slots, each carrying the MFMTs not sent yet; when no file
    // is left to carry them, a free slot sends them alone.
    void Feed();
    void Finished(Slot& slot, FileRequest& file);

    const CRFTP& m_origin;
    const LocalTree& m_local;
    const JobOptions m_options;
    MultiPerformer& m_performer;
    std::deque<PlannedEntry*> m_queued;
    std::vector<std::string> m_times;  // MFMT commands of uploaded files, not sent yet
    std::vector<std::unique_ptr<Slot>> m_slots;
    CConnection::ProgressCallback m_progress;
    double m_plannedBytes = 0;
    double m_doneBytes = 0;
    bool m_aborted = false;
    bool m_feeding = false;
};

}  // namespace ftp
}  // namespace rkcurl
