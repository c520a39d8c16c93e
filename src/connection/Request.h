// The one request core of the library: every FTP and HTTP operation is a Request.
//
// A request runs these steps, each a hook that an operation may override:
//
//   trace record (the shape's trace name) -> nothing to send? done -> preparation of a fresh
//   handle through the object's virtual Prepare (or the handle the latest request left) ->
//   the operation's own options -> perform -> after-perform work -> failure chain or
//   completion -> release of what the operation built (and of the handle, where the shape
//   says so).
//
// An operation describes itself with a RequestShape (named fields) and overrides only the hooks
// it needs. Every option goes through SetOption (connection/CurlOption.h) and every failure
// through Fail (RecordFailure, beside SetErrorString).
//
// Who performs the transfer is not the request's business:
//   - Run() performs on the object's own handle, as every public operation does:
//     curl_easy_perform, or for CRFTP with connection reuse on the polled loop
//     (PolledPerform.h).
//   - Start() and Finish() split the run around the perform, for a performer of its own:
//     MultiPerformer (connection/MultiPerformer.h) drives several started requests at once,
//     each on its own handle, in one multi handle on the caller's thread.
//
// The object a request is made for is its channel: it owns the handle the request runs on and
// takes libcurl's results (m_lastCurlCode, m_error, the error buffer, the body and header
// texts). To run several requests of one object at once, each runs on a Channel
// (connection/Channel.h): a copy of the object with a connection of its own that keeps its
// login from one request to the next.
#pragma once

#include <RKLogging/RKLogging.h>
#include <curl/curl.h>

#include <optional>

#include "RKCurl/CConnection.h"
#include "RKCurl/CRKError.h"

namespace rkcurl {

// How an operation runs; set the fields by name: RequestShape().Trace("CRFTP::GetFileTo")...
struct RequestShape {
    // The trace record opened for the whole request; null: the caller's trace covers it.
    const char* trace = nullptr;
    // The prefix handed to the object's Prepare; null: no preparation, the request runs on the
    // handle that the latest preparation left (the FTP commands).
    const wchar_t* scheme = nullptr;
    // Recorded with libcurl's result when the transfer fails.
    int transferFailureCode = oru::shared::error::RKERR_PERFORM;
    // The handle is let go once the request is over (CRHTTP); else it stays in the object.
    bool releasesHandle = false;
    // With connection reuse on, Run performs through the polled loop (PolledPerform.h) instead
    // of curl_easy_perform (CRFTP, whose transfers can stall on a reused connection).
    bool pollsReusedConnection = false;

    RequestShape& Trace(const char* name) {
        trace = name;
        return *this;
    }
    RequestShape& PreparedWith(const wchar_t* prefix) {
        scheme = prefix;
        return *this;
    }
    RequestShape& OnLatestHandle() {
        scheme = nullptr;
        return *this;
    }
    RequestShape& FailsTransferWith(int code) {
        transferFailureCode = code;
        return *this;
    }
    RequestShape& ReleasesHandle() {
        releasesHandle = true;
        return *this;
    }
    RequestShape& PollsReusedConnection() {
        pollsReusedConnection = true;
        return *this;
    }
};

class Request {
public:
    Request(CConnection& channel, const RequestShape& shape);
    virtual ~Request();
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    // Runs the request to its end on the object's own handle; returns 0 or the code left in
    // its m_error.
    int Run();

    // For performers of their own: Start opens the trace, prepares and sets the options. True:
    // Handle() is ready to be performed, and Finish must follow with libcurl's result. False:
    // the request is over already (nothing to send, or a recorded failure), Result() says how.
    bool Start();
    // Stores the transfer's result, runs the failure chain or the completion and releases what
    // the request built. Result() holds the outcome afterwards.
    void Finish(int curlResult);

    // For performers between Start and Finish: whether the failed transfer met a cached FTP
    // connection that the server had dropped before anything moved (the same request may then
    // run again), and the switch of the started request to a fresh connection for that run.
    bool MetDroppedConnection(int curlResult) const;
    bool UseFreshConnection();

    int Result() const { return m_result; }
    CURL* Handle() const;
    CConnection& Channel() const { return m_channel; }

protected:
    // True when there is nothing to send: the request is over right after the trace opens.
    virtual bool HasNothingToSend() const { return false; }
    // A failed preparation, already recorded by Prepare; returns the code that counts.
    virtual int ReportPrepareFailure(int code) { return code; }
    // The operation's own options; 0, or the code of a failure already recorded with Fail.
    virtual int SetOwnOptions() { return 0; }
    // Right after the transfer with libcurl's result; returns the result that counts (a local
    // file that cannot be completed turns a finished transfer into a failed one).
    virtual int AfterPerform(int result) { return result; }
    // A failed transfer: records it (the shape's code) and returns the code.
    virtual int ReportTransferFailure(int result);
    // A successful transfer: what the operation still does; 0 or a recorded code.
    virtual int Complete() { return 0; }
    // Releases what the operation built (option resets first, then the lists and streams they
    // guard), on every path once the preparation succeeded, an exception included.
    virtual void ReleaseOwn() {}

    // Records a failure on the channel (RecordFailure) and returns the code.
    int Fail(int code, int extendedCode);
    int LastCurlCode() const;

private:
    void Release();
    void End(int result);

    CConnection& m_channel;
    const RequestShape m_shape;
    std::optional<LOGGER::CRKFuncLog> m_trace;
    bool m_mustRelease = false;
    int m_result = 0;
};

}  // namespace rkcurl
