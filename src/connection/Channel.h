// A channel: a connection of its own on which requests of one object run beside each other.
//
// A channel is a copy of the object (server, login, TLS settings, transfer controls, listing
// settings) that lets go of the copied handle and has connection reuse on: each request it
// carries prepares the channel's own easy handle again (reset, not replaced), so the requests
// it carries one after another keep one control connection and its login. Requests made for
// the channel's Object() record their results there, not in the source object; the caller
// folds them back (the failure record, the reply text) as it sees fit.
//
// Use (N connections, many files each):
//   std::vector<std::unique_ptr<Channel<CRFTP>>> channels;  // N copies of the session
//   MultiPerformer performer;
//   performer.Add(*MakeDownload(channels[i]->Object(), ...), done);  // one per channel
//   performer.Run();  // done() of a finished request may Add the channel's next file
#pragma once

#include "connection/ConnectionState.h"

namespace rkcurl {

template <typename Client>
class Channel {
public:
    explicit Channel(const Client& source) : m_object(source) {
        ReleaseHandle(m_object);  // the source's handle stays the source's
        m_object.SetReuseConnections(1);
    }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    Client& Object() { return m_object; }

private:
    Client m_object;
};

}  // namespace rkcurl
