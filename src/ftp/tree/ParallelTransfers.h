// Runs many transfers over up to N connections at once, on the calling thread, through one
// libcurl multi handle: each connection logs in once and carries one file after another.
//
// The driver knows nothing of files: a TransferJobs starts a job on a connection slot (a
// prepared easy handle) and completes it. A server that refuses a connection (a 421 greeting
// or a refused connect) while others of the call are open lowers N to the connections it
// accepted, and the refused job runs again; the server never sees more than N at once.
// Its own driver rather than MultiPerformer: that one has no refusal handling, re-queueing of
// refused jobs, 1 ms poll cap or abort, which the tree needs.
#pragma once

#include <curl/curl.h>

#include <cstddef>

namespace rkcurl {
namespace ftp {

class TransferJobs {
public:
    virtual ~TransferJobs() = default;
    // Prepares job on slot (0 .. N-1; a slot runs one job at a time). Null when the job could
    // not start: it has then recorded its failure and counts as finished.
    virtual CURL* Start(std::size_t job, std::size_t slot) = 0;
    // The job's transfer ended with result; its handle is out of the multi handle.
    virtual void Finish(std::size_t job, std::size_t slot, CURLcode result) = 0;
    // The job's transfer was refused a connection and runs again later: undo what Start did.
    virtual void Abandon(std::size_t job, std::size_t slot) = 0;
    // False stops the run: no further job starts and the running ones are ended (Finish
    // with CURLE_ABORTED_BY_CALLBACK).
    virtual bool KeepGoing() { return true; }
};

class ParallelTransfers {
public:
    // connections: 1 to 16.
    explicit ParallelTransfers(int connections);
    ~ParallelTransfers();
    ParallelTransfers(const ParallelTransfers&) = delete;
    ParallelTransfers& operator=(const ParallelTransfers&) = delete;

    // Runs jobs 0 .. count-1 in order of their numbers; returns when every one has finished.
    void Run(TransferJobs& jobs, std::size_t count);
    // The connections the server accepted at most (N, or less after a refusal).
    int Connections() const { return m_limit; }

private:
    CURLM* m_multi;
    int m_limit;
};

}  // namespace ftp
}  // namespace rkcurl
