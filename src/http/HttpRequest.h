// The one request sequence of CRHTTP. Every operation is this sequence; what sets the
// operations apart is a RequestProfile (data) and a few hooks that a subclass overrides.
//
//   trace, scheme prefix, Prepare; TLS step; form (leading parts, "submit", the fields) and
//   CURLOPT_HTTPPOST; own options; the host's opt-in request controls; perform; after-perform work;
//   failure or delivery; the fields emptied where the operation consumes them; release of the
//   handle and every resource.
#pragma once

#include <curl/curl.h>

#include <string>

#include "RKCurl/CRHTTP.h"
#include "connection/CurlOption.h"
#include "connection/CurlResources.h"
#include "http/HttpClientAccess.h"

namespace rkcurl {

enum class TlsStep {
    WhenSecure,              // certificate and host checks off when m_secure is set
    Always,                  // the same, whatever m_secure says
    ThroughPrepareSecurity,  // left to the virtual PrepareSecurity, which records its own failure
};

struct RequestProfile {
    const char* traceName;
    TlsStep tls;
    bool sendsForm;         // "submit" = "send" and the fields, as CURLOPT_HTTPPOST
    bool formRefusalFails;  // a refused CURLOPT_HTTPPOST ends the request with 2506
    bool consumesFields;    // the fields are emptied once the sent form's transfer has run
    bool mayGetPlain;       // SetPlainGet turns the form off
    bool followsRedirects;  // the operation itself turns redirect following on
};

class HttpRequest {
public:
    HttpRequest(CRHTTP& client, const RequestProfile& profile);
    virtual ~HttpRequest() = default;
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // Runs the sequence once; returns 0 or the code left in the client's m_error.
    int Run();

protected:
    // Right after a successful Prepare (the buffer download's receive block).
    virtual void Reserve() {}
    // Parts that go before "submit".
    virtual void AddLeadingParts() {}
    // The operation's own options; 0, or the code of a failure already recorded with Fail.
    virtual int SetOwnOptions() { return 0; }
    // Runs right after the transfer with libcurl's result; returns the result that counts (a
    // local file that cannot be completed turns a finished transfer into a failed one).
    virtual int AfterPerform(int result) { return result; }
    // A failed transfer: records it and returns the code.
    virtual int ReportTransferFailure(int result);
    // A successful transfer, before the fields are emptied.
    virtual void Deliver() {}
    // Releases what the operation opened itself, after the handle, form and header list.
    virtual void ReleaseOwn() {}

    // Sets an option on the client's handle; the result is stored in m_lastCurlCode.
    template <typename Value>
    bool SetOption(int option, Value value) {
        return SetCurlOption(m_client, option, value);
    }
    int LastCurlCode() const { return HttpClientAccess::LastCurlCode(m_client); }
    // Records a failure (setErrorCD, SetErrorString) and returns the code.
    int Fail(int code, int extendedCode) {
        return HttpClientAccess::RecordFailure(m_client, code, extendedCode);
    }

    // Accepted encodings, the fixed user agent and "Connection: Keep-Alive", results ignored.
    void SetPageHeaders();
    // Hands libcurl the operation's header lines followed by the host's added ones, as one
    // list; the result is ignored, as for the described lists.
    void SetHeaderList();

    CurlForm& Form() { return m_form; }
    CurlStringList& Headers() { return m_headers; }
    CRHTTP::WriteCallback& WriteCallbackSlot() {
        return HttpClientAccess::WriteCallbackSlot(m_client);
    }
    const std::string& SoapBody() const { return HttpClientAccess::SoapBody(m_client); }
    const std::string& SoapHeader() const { return HttpClientAccess::SoapHeader(m_client); }

private:
    int Transfer();
    int SwitchOffCertificateChecks();
    int SendForm();
    int SetRequestControls();
    void Release();

    CRHTTP& m_client;
    const RequestProfile& m_profile;
    CurlForm m_form;
    // Header lines the request cannot copy are left out: their results are ignored anyway.
    CurlStringList m_headers{FailedLine::LeaveOut};
    bool m_headerListSet = false;
};

// Fixed texts of the requests.
extern const char kUserAgent[];
extern const char kKeepAlive[];

}  // namespace rkcurl
