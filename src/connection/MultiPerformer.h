// The performer of several requests at once: each started request runs on its own easy handle
// (its channel's), all of them in one libcurl multi handle driven on the caller's thread. No
// thread is started and no lock taken.
//
// Requests whose handles keep no connection cache of their own share the multi handle's: a
// connection logged in for one request carries the next. LimitConnections caps those
// connections for a server that counts them: a request beyond the cap waits for one to free,
// and a connection the server refuses lowers the cap.
#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <deque>
#include <functional>
#include <map>

#include "connection/Request.h"

namespace rkcurl {

class MultiPerformer {
public:
    // Runs when a request is over, after its Finish: request.Result() tells how it went. It may
    // Add further requests, for instance the next file of the same channel.
    using Completion = std::function<void(Request& request)>;

    MultiPerformer();
    ~MultiPerformer();
    MultiPerformer(const MultiPerformer&) = delete;
    MultiPerformer& operator=(const MultiPerformer&) = delete;

    // Starts the request (trace, preparation, options) and adds its handle to the multi
    // handle. A request that is over at its start (nothing to send, a recorded failure)
    // completes at once. The request must live until its completion has run. A handle the
    // multi interface does not take is performed on the spot instead. Beyond the connection
    // cap the request waits, after those waiting already (AddFirst: before them).
    void Add(Request& request, Completion done);
    void AddFirst(Request& request, Completion done);
    // Drives every added request to its end, calling each completion as its request finishes.
    void Run();
    // Drives the requests until done() holds (checked after each completion) or none is left.
    void RunUntil(const std::function<bool()>& done);
    // Requests added and not yet finished, waiting ones included.
    std::size_t Running() const { return m_running.size() + m_waiting.size(); }

    // At most connections (1 to 16) requests run at once, on at most that many connections of
    // the multi handle. A request refused a connection (a refused connect, or a 421 before
    // anything moved) while others run lowers the cap to those others and waits to run again;
    // refused with none other running it is tried again a few times after a pause. A request
    // that met a cached connection the server had dropped runs once more on a fresh one.
    void LimitConnections(int connections);
    // The cap: what LimitConnections set, or less after a refusal; 0 for none.
    int ConnectionLimit() const { return m_limit; }
    // The longest wait of one step, 20 ms unless set. libcurl can park a transfer on a reused
    // connection without a socket or timer to wake it: many short transfers want a short cap.
    void SetPollCap(int milliseconds) { m_pollCapMs = milliseconds; }

private:
    struct Entry {
        Request* request;
        Completion done;
        bool started = false;  // a refused request waits started: its handle runs again
        bool retried = false;  // once on a fresh connection
    };
    void Enqueue(Entry entry, bool first);
    // Starts waiting requests while the cap allows.
    void StartWaiting();
    // Adds a started request's handle to the multi handle, or performs it on the spot.
    void Perform(Entry entry);
    // Removes the finished transfers from the multi handle and completes their requests.
    void CompleteFinished();
    // A refused or dropped connection: true when the request waits to run again.
    bool Requeue(CURL* handle, CURLcode result, Entry& entry);
    void SetMultiCap();

    CURLM* m_multi;
    std::map<CURL*, Entry> m_running;
    std::deque<Entry> m_waiting;
    int m_limit = 0;
    int m_loneRefusals = 0;
    int m_pollCapMs = 20;
};

}  // namespace rkcurl
