// The tree transfers' way into a CRFTP: its tree state, sessions of their own made from its
// settings, and the members a request of theirs uses. CRFTP befriends TreeAccess.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

#include "RKCurl/CRFTP.h"
#include "ftp/tree/TreeItem.h"
#include "ftp/tree/TreeState.h"

namespace rkcurl {
namespace ftp {

struct TreeAccess {
    // The object's tree state, made with the default settings on first use.
    static TreeState& State(CRFTP& session);
    // A session for the tree's own requests: the object's settings and credentials, none of
    // its handle or listing, no progress callback; with reuse, its requests share one
    // connection cache of their own (one login), closed when the session goes.
    static std::unique_ptr<CRFTP> Session(const CRFTP& origin, bool reuse);

    static void SetHref(CRFTP& session, const std::string& href) { session.m_href = href; }
    static const std::string& Href(const CRFTP& session) { return session.m_href; }
    // A fresh handle for the HREF with every option the object's requests share; 0 or the
    // recorded code.
    static int Prepare(CRFTP& session);
    static CURL* Handle(const CRFTP& session) { return session.m_curl; }
    static std::string& Header(CRFTP& session) { return session.m_header; }
    static std::string& Body(CRFTP& session) { return session.m_response; }
    // The listing transfer of FindFirstFileW (MLSD or LIST as the session's settings say).
    static int FetchListing(CRFTP& session, bool& machine) { return session.FetchListing(machine); }
    // The session's latest libcurl result and its detail text.
    static int LastCurlCode(const CRFTP& session) { return session.m_lastCurlCode; }
    static void SetLastCurlCode(CRFTP& session, int result) { session.m_lastCurlCode = result; }
    static std::string ErrorText(const CRFTP& session);
    static CConnection::ProgressCallback Progress(const CRFTP& session) {
        return session.m_progressCallback;
    }
    // Records failure in the object's error record and log, with its detail as libcurl's.
    static int Record(CRFTP& session, const Failure& failure);
    // The main message of the object's error record.
    static void SetMessage(CRFTP& session, const wchar_t* message) {
        session.m_error.SetMessage(message);
    }
};

}  // namespace ftp
}  // namespace rkcurl
