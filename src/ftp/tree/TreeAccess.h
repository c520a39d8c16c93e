// The tree transfers' way into a CRFTP, over the library's seam (ConnectionAccess): its tree
// state, sessions of their own made from its settings, and the members a request of theirs
// uses.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

#include "RKCurl/CRFTP.h"
#include "connection/ConnectionAccess.h"
#include "ftp/FtpState.h"
#include "ftp/tree/TreeItem.h"
#include "ftp/tree/TreeState.h"

namespace rkcurl {
namespace ftp {

struct TreeAccess {
    // The object's tree settings and latest report, behind its state pointer.
    static TreeState& State(CRFTP& session) { return ConnectionAccess::State(session).tree; }
    static const TreeState& State(const CRFTP& session) {
        return ConnectionAccess::State(session).tree;
    }
    // A session for the tree's own requests: the object's settings and credentials, none of
    // its handle or listing, no progress callback; with reuse, its requests share one
    // connection cache of their own (one login), closed when the session goes.
    static std::unique_ptr<CRFTP> Session(const CRFTP& origin, bool reuse);

    static void SetHref(CRFTP& session, const std::string& href) {
        ConnectionAccess::Href(session) = href;
    }
    // A fresh handle for the HREF with every option the object's requests share; 0 or the
    // recorded code.
    static int Prepare(CRFTP& session);
    static CURL* Handle(CRFTP& session) { return ConnectionAccess::Handle(session); }
    static std::string& Header(CRFTP& session) { return ConnectionAccess::Header(session); }
    static std::string& Body(CRFTP& session) { return ConnectionAccess::Response(session); }
    // The session's latest libcurl result and its detail text.
    static int LastCurlCode(CRFTP& session) { return ConnectionAccess::LastCurlCode(session); }
    static std::string ErrorText(CRFTP& session);
    static CConnection::ProgressCallback Progress(const CRFTP& session) {
        return ConnectionAccess::Progress(session);
    }
    // Records failure in the object's error record and log (RecordFailure), with its detail
    // as libcurl's.
    static int Record(CRFTP& session, const Failure& failure);
    // The main message of the object's error record.
    static void SetMessage(CRFTP& session, const wchar_t* message) {
        ConnectionAccess::Error(session).SetMessage(message);
    }
};

}  // namespace ftp
}  // namespace rkcurl
