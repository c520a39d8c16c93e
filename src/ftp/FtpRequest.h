// The one request sequence of CRFTP's transfers, in the shape of CRHTTP's: every operation is
// this sequence; what sets the operations apart is an FtpProfile (data) and a few hooks that a
// subclass overrides.
//
//   trace; Prepare (skipped by the commands, which run on the handle the latest request left);
//   own options; perform; after-perform work; failure chain or completion; release of what the
//   operation built. The handle itself stays in the object for the commands that follow.
#pragma once

#include <curl/curl.h>

#include <string>

#include "RKCurl/CRFTP.h"
#include "connection/CurlOption.h"

namespace rkcurl {
namespace ftp {

struct FtpProfile {
    const char* traceName;    // null: the caller's trace covers the request
    bool prepares;            // false: runs on the handle that the latest preparation left
    int transferFailureCode;  // recorded with libcurl's result when the transfer fails
};

class FtpRequest {
public:
    FtpRequest(CRFTP& session, const FtpProfile& profile)
        : m_session(session), m_profile(profile) {}
    virtual ~FtpRequest() = default;
    FtpRequest(const FtpRequest&) = delete;
    FtpRequest& operator=(const FtpRequest&) = delete;

    // Runs the sequence once; returns 0 or the code left in the session's m_error.
    int Run();

protected:
    // True when there is nothing to send: the request returns 0 right after the trace opens.
    virtual bool HasNothingToSend() const { return false; }
    // A failed preparation, already recorded by Prepare; returns the code that counts.
    virtual int ReportPrepareFailure(int code) { return code; }
    // The operation's own options; 0, or the code of a failure already recorded with Fail.
    virtual int SetOwnOptions() { return 0; }
    // Runs right after the transfer with libcurl's result; returns the result that counts (a
    // local file that cannot be completed turns a finished transfer into a failed one).
    virtual int AfterPerform(int result) { return result; }
    // A failed transfer: records it with the profile's code and returns that code.
    virtual int ReportTransferFailure(int result);
    // A successful transfer: what the operation still sets; 0 or a recorded code.
    virtual int Complete() { return 0; }
    // Releases what the operation built (option resets first, then the lists and streams they
    // guard), on every path after a successful preparation.
    virtual void ReleaseOwn() {}

    // Sets an option on the session's handle; the result is stored in m_lastCurlCode.
    template <typename Value>
    bool SetOption(int option, Value value) {
        return rkcurl::SetCurlOption(m_session, option, value);
    }
    int LastCurlCode() const { return m_session.m_lastCurlCode; }
    void SetLastCurlCode(int result) { m_session.m_lastCurlCode = result; }
    // Records a failure (setErrorCD, SetErrorString) and returns the code.
    int Fail(int code, int extendedCode) { return m_session.RecordFailure(code, extendedCode); }
    CURL* Handle() const { return m_session.m_curl; }
    std::string& Response() { return m_session.m_response; }
    std::string& Header() { return m_session.m_header; }
    // The upload reader of the session (CRFTP::ReadFunc in libcurl's shape).
    static curl_read_callback FileReader() { return &CRFTP::ReadCallback; }

private:
    int Transfer();
    // The one place where an FTP request's transfer runs.
    int Perform();

    CRFTP& m_session;
    const FtpProfile& m_profile;
};

}  // namespace ftp
}  // namespace rkcurl
