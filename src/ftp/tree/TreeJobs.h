// The file transfers of a tree as jobs of the parallel driver: downloads into files written
// beside their targets, uploads from local files. A download counts when the bytes written
// are the listed size; an upload when all of the local file was sent (the caller then checks
// the sizes the server lists). Each connection slot is a session of the tree's own.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "RKCurl/CRFTP.h"
#include "ftp/tree/LocalTree.h"
#include "ftp/tree/ParallelTransfers.h"
#include "ftp/tree/TreePlan.h"
#include "resources/CurlResources.h"

namespace rkcurl {
namespace ftp {

enum class TreeDirection { Download, Upload };

struct JobOptions {
    TreeDirection direction = TreeDirection::Download;
    std::string remoteRoot;  // FTP path ending in "/"
    bool keepTimes = true;
    bool setRemoteTimes = false;  // uploads: MFMT after STOR
    bool remoteSize = false;      // uploads: SIZE after STOR gives the size at the destination
};

class TreeJobs : public TransferJobs {
public:
    // One job per entry of files; the entries get their bytes, or their failure.
    TreeJobs(const CRFTP& origin, const LocalTree& local, const JobOptions& options,
             std::vector<PlannedEntry*> files, int connections);
    ~TreeJobs() override;

    std::size_t Count() const { return m_files.size(); }
    // Jobs that never ran (the host's progress callback stopped the tree) fail as aborted.
    void FailUnfinished();
    bool Aborted() const { return m_aborted; }

    CURL* Start(std::size_t job, std::size_t slot) override;
    void Finish(std::size_t job, std::size_t slot, CURLcode result) override;
    void Abandon(std::size_t job, std::size_t slot) override;
    bool KeepGoing() override { return !m_aborted; }

    // The progress of the whole tree, for the host's callback.
    int Progress(std::size_t slot, double now);

    struct Slot;

private:
    bool SetOptions(PlannedEntry& entry, Slot& slot);
    bool Verify(PlannedEntry& entry, Slot& slot);

    const CRFTP& m_origin;
    const LocalTree& m_local;
    const JobOptions m_options;
    std::vector<PlannedEntry*> m_files;
    std::vector<bool> m_finished;
    std::vector<std::unique_ptr<Slot>> m_slots;
    CConnection::ProgressCallback m_progress;
    double m_plannedBytes = 0;
    double m_doneBytes = 0;
    bool m_aborted = false;
};

}  // namespace ftp
}  // namespace rkcurl
