#include "http/HttpOperation.h"

#include "RKCurl/TextConversion.h"
#include "connection/ConnectionAccess.h"
#include "connection/CurlOption.h"
#include "connection/Prepare.h"
#include "http/HttpState.h"

using oru::shared::error::RKERR_SET_OPTION;

namespace rkcurl {
namespace http {

const char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.2; .NET CLR 1.1.4322)";
const char kKeepAlive[] = "Connection: Keep-Alive";

namespace {

const char kAcceptedEncodings[] = "gzip,deflate,compress";

RequestShape CoreShape(const CRHTTP& client, const HttpShape& shape) {
    return RequestShape()
        .Trace(shape.trace)
        .PreparedWith(ConnectionAccess::Secure(client) != 0 ? L"https://" : L"http://")
        .ReleasesHandle();
}

}  // namespace

HttpOperation::HttpOperation(CRHTTP& client, const HttpShape& shape)
    : Request(client, CoreShape(client, shape)),
      m_client(client),
      m_shape(shape),
      m_sendsForm(shape.sendsForm &&
                  !(shape.mayGetPlain && ConnectionAccess::State(client).plainGet != 0)) {}

int HttpOperation::SetOwnOptions() {
    Reserve();
    if (const int code = SwitchOffCertificateChecks()) return code;
    if (m_sendsForm) {
        if (const int code = SendForm()) return code;
    }
    if (const int code = SetRequestOptions()) return code;
    return SetRequestControls();
}

int HttpOperation::AfterPerform(int result) {
    m_performed = true;
    return AfterTransfer(result);
}

int HttpOperation::Complete() {
    Deliver();
    return 0;
}

// Consumed fields are gone once the transfer ran, whatever its outcome; fields a plain GET did
// not send stay.
void HttpOperation::ReleaseOwn() {
    if (m_performed && m_shape.consumesFields && m_sendsForm) {
        ConnectionAccess::Fields(m_client).clear();
    }
    m_form.Release();
    m_headers.Release();
    ReleaseParts();
}

int HttpOperation::SwitchOffCertificateChecks() {
    switch (m_shape.tls) {
        case TlsStep::ThroughPrepareSecurity:
            return m_client.PrepareSecurity();
        case TlsStep::WhenSecure:
            if (ConnectionAccess::Secure(m_client) == 0) return 0;
            break;
        case TlsStep::Always:
            break;
    }
    if (SetCertificateChecks(m_client)) return 0;
    return Fail(RKERR_SET_OPTION, LastCurlCode());
}

int HttpOperation::SendForm() {
    AddLeadingParts();
    m_form.AddText("submit", "send");
    for (const auto& field : ConnectionAccess::Fields(m_client)) {
        m_form.AddText(oru::helper::WideStrToNarStr(field.first),
                       oru::helper::WideStrToNarStr(field.second));
    }
    if (SetOption(m_client, CURLOPT_HTTPPOST, m_form.First()) || !m_shape.formRefusalFails)
        return 0;
    return Fail(RKERR_SET_OPTION, LastCurlCode());
}

void HttpOperation::SetPageHeaders() {
    SetOption(m_client, CURLOPT_ACCEPT_ENCODING, kAcceptedEncodings);
    SetOption(m_client, CURLOPT_USERAGENT, kUserAgent);
    m_headers.Append(kKeepAlive);
    SetHeaderList();
}

void HttpOperation::SetHeaderList() {
    for (const std::string& line : ConnectionAccess::State(m_client).headers)
        m_headers.Append(line.c_str());
    SetOption(m_client, CURLOPT_HTTPHEADER, m_headers.Get());
    m_headerListSet = true;
}

// Only what the host opted into is set, after the operation's own options; a refusal of any of
// them ends the request with 2506.
int HttpOperation::SetRequestControls() {
    const HttpState& controls = ConnectionAccess::State(m_client);
    // An operation without a list of its own gets one with just the added lines.
    if (!m_headerListSet && !controls.headers.empty()) {
        for (const std::string& line : controls.headers) m_headers.Append(line.c_str());
        if (!SetOption(m_client, CURLOPT_HTTPHEADER, m_headers.Get())) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
        m_headerListSet = true;
    }
    if (controls.maxRedirects > 0) {
        if (!m_shape.followsRedirects && !SetOption(m_client, CURLOPT_FOLLOWLOCATION, 1L)) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
        if (!SetOption(m_client, CURLOPT_MAXREDIRS, controls.maxRedirects)) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
        // A followed redirect stays on HTTP(S) (libcurl would also follow one to ftp://), and
        // an https request goes over to clear text only when the host allows it.
        const bool httpsOnly =
            ConnectionAccess::Secure(m_client) != 0 && controls.allowRedirectToHttp == 0;
        if (!SetOption(m_client, CURLOPT_REDIR_PROTOCOLS_STR, httpsOnly ? "https" : "http,https")) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
    }
    return 0;
}

}  // namespace http
}  // namespace rkcurl
