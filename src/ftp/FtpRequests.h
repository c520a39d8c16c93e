// The FTP requests that run beside each other (the transfers of a tree over several
// connections): made for one channel, run by any performer (Request.h).
#pragma once

#include <memory>

#include "RKCurl/CRFTP.h"
#include "connection/Request.h"

namespace rkcurl {
namespace ftp {

// The prefix every CRFTP preparation uses, whatever prefix its caller passes.
constexpr wchar_t kScheme[] = L"ftp://";
// The URL scheme of a session that speaks TLS from the first byte (SetImplicitTls).
constexpr wchar_t kImplicitTlsScheme[] = L"ftps://";

// A transfer of CRFTP: on a freshly prepared handle, which stays in the object afterwards; with
// connection reuse on, performed through the polled loop.
inline RequestShape TransferShape(const char* trace) {
    return RequestShape().Trace(trace).PreparedWith(kScheme).PollsReusedConnection();
}

// GetFileTo of the channel's HREF into localPath, as a request (trace "CRFTP::GetFileTo").
std::unique_ptr<Request> MakeDownload(CRFTP& channel, const wchar_t* localPath, bool resume);
// PutFile of localPath to the channel's HREF, as a request (trace "CRFTP::PutFile").
std::unique_ptr<Request> MakeUpload(CRFTP& channel, const wchar_t* localPath, bool resume);

}  // namespace ftp
}  // namespace rkcurl
