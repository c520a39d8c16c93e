// The performer of several requests at once: each started request runs on its own easy handle
// (its channel's), all of them in one libcurl multi handle driven on the caller's thread. No
// thread is started and no lock taken.
#pragma once

#include <curl/curl.h>

#include <cstddef>
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
    // multi interface does not take is performed on the spot instead.
    void Add(Request& request, Completion done);
    // Drives every added request to its end, calling each completion as its request finishes.
    void Run();
    // Requests added and not yet finished.
    std::size_t Running() const { return m_running.size(); }

private:
    struct Entry {
        Request* request;
        Completion done;
    };
    // Removes the finished transfers from the multi handle and completes their requests.
    void CompleteFinished();

    CURLM* m_multi;
    std::map<CURL*, Entry> m_running;
};

}  // namespace rkcurl
