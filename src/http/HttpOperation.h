// What every CRHTTP operation adds to the request core (connection/Request.h): the scheme from
// the secure flag, the certificate step, the multipart form ("submit" = "send" and the fields),
// the host's opt-in request controls, the fields consumed by a transfer that sent them, and the
// handle let go at the end of every request.
//
// Order of one operation: Prepare; Reserve; certificate step; form (leading parts, "submit",
// the fields) as CURLOPT_HTTPPOST; the operation's own options; the request controls; perform;
// AfterTransfer; failure or Deliver; release of the handle, the form, the header list and the
// operation's own parts.
#pragma once

#include <curl/curl.h>

#include <string>

#include "RKCurl/CRHTTP.h"
#include "connection/Request.h"
#include "resources/CurlResources.h"

namespace rkcurl {
namespace http {

// How an operation treats the certificate checks.
enum class TlsStep {
    WhenSecure,              // certificate and host checks off when m_secure is set
    Always,                  // the same, whatever m_secure says
    ThroughPrepareSecurity,  // left to the virtual PrepareSecurity, which records its own failure
};

// The operation's description; set the fields by name: HttpShape("CRHTTP::GetPage").SendsForm()...
struct HttpShape {
    explicit HttpShape(const char* traceName) : trace(traceName) {}

    const char* trace;
    TlsStep tls = TlsStep::WhenSecure;
    bool sendsForm = false;         // "submit" = "send" and the fields, as CURLOPT_HTTPPOST
    bool formRefusalFails = false;  // a refused CURLOPT_HTTPPOST ends the request with 2506
    bool consumesFields = false;    // the fields are emptied once the sent form's transfer ran
    bool mayGetPlain = false;       // SetPlainGet turns the form off
    bool followsRedirects = false;  // the operation itself turns redirect following on

    HttpShape& Tls(TlsStep step) {
        tls = step;
        return *this;
    }
    HttpShape& SendsForm() {
        sendsForm = true;
        return *this;
    }
    HttpShape& FormRefusalFails() {
        formRefusalFails = true;
        return *this;
    }
    HttpShape& ConsumesFields() {
        consumesFields = true;
        return *this;
    }
    HttpShape& MayGetPlain() {
        mayGetPlain = true;
        return *this;
    }
    HttpShape& FollowsRedirects() {
        followsRedirects = true;
        return *this;
    }
};

class HttpOperation : public Request {
public:
    HttpOperation(CRHTTP& client, const HttpShape& shape);

protected:
    // Right after a successful Prepare (the buffer download's receive block).
    virtual void Reserve() {}
    // Parts that go before "submit".
    virtual void AddLeadingParts() {}
    // The operation's own options; 0, or the code of a failure already recorded with Fail.
    virtual int SetRequestOptions() { return 0; }
    // Right after the transfer, as Request::AfterPerform.
    virtual int AfterTransfer(int result) { return result; }
    // A successful transfer, before the fields are emptied.
    virtual void Deliver() {}
    // Releases what the operation opened itself, after the handle, form and header list.
    virtual void ReleaseParts() {}

    // Accepted encodings, the fixed user agent and "Connection: Keep-Alive", results ignored.
    void SetPageHeaders();
    // Hands libcurl the operation's header lines followed by the host's added ones, as one
    // list; the result is ignored, as for the described lists.
    void SetHeaderList();

    CRHTTP& Client() const { return m_client; }
    CurlForm& Form() { return m_form; }
    CurlStringList& Headers() { return m_headers; }

private:
    int SetOwnOptions() final;
    int AfterPerform(int result) final;
    int Complete() final;
    void ReleaseOwn() final;

    int SwitchOffCertificateChecks();
    int SendForm();
    int SetRequestControls();

    CRHTTP& m_client;
    const HttpShape m_shape;
    bool m_sendsForm;
    bool m_performed = false;
    CurlForm m_form;
    // Header lines the request cannot copy are left out: their results are ignored anyway.
    CurlStringList m_headers{FailedLine::LeaveOut};
    bool m_headerListSet = false;
};

// Fixed texts of the requests.
extern const char kUserAgent[];
extern const char kKeepAlive[];

}  // namespace http
}  // namespace rkcurl
