#include "http/HttpRequest.h"

#include <RKLogging/RKLogging.h>

#include "RKCurl/TextConversion.h"

using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;

namespace rkcurl {

const char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.2; .NET CLR 1.1.4322)";
const char kKeepAlive[] = "Connection: Keep-Alive";

namespace {
const char kAcceptedEncodings[] = "gzip,deflate,compress";
}  // namespace

HttpRequest::HttpRequest(CRHTTP& client, const RequestProfile& profile)
    : m_client(client), m_profile(profile) {}

int HttpRequest::Run() {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, m_profile.traceName, nullptr);
    const std::wstring prefix = HttpClientAccess::Secure(m_client) != 0 ? L"https://" : L"http://";
    const int prepared = m_client.Prepare(prefix);  // through the virtual slot
    if (prepared != 0) return prepared;

    // From here on every exit, an exception included, lets go of the handle and what was built.
    struct ReleaseAtExit {
        HttpRequest& request;
        ~ReleaseAtExit() { request.Release(); }
    } release{*this};
    return Transfer();
}

int HttpRequest::Transfer() {
    Reserve();
    if (const int code = SwitchOffCertificateChecks()) return code;
    const bool sendsForm =
        m_profile.sendsForm && !(m_profile.mayGetPlain && HttpClientAccess::PlainGet(m_client));
    if (sendsForm) {
        if (const int code = SendForm()) return code;
    }
    if (const int code = SetOwnOptions()) return code;
    if (const int code = SetRequestControls()) return code;

    int& lastCurlCode = HttpClientAccess::LastCurlCode(m_client);
    lastCurlCode = curl_easy_perform(HttpClientAccess::Handle(m_client));
    const int result = AfterPerform(lastCurlCode);
    const int code = result == CURLE_OK ? 0 : ReportTransferFailure(result);
    if (code == 0) Deliver();
    // Consumed fields are gone once the transfer ran, whatever its outcome; fields a plain GET
    // did not send stay.
    if (m_profile.consumesFields && sendsForm) HttpClientAccess::MultiPartFields(m_client).clear();
    return code;
}

int HttpRequest::SwitchOffCertificateChecks() {
    switch (m_profile.tls) {
        case TlsStep::ThroughPrepareSecurity:
            return m_client.PrepareSecurity();
        case TlsStep::WhenSecure:
            if (HttpClientAccess::Secure(m_client) == 0) return 0;
            break;
        case TlsStep::Always:
            break;
    }
    if (HttpClientAccess::SetCertificateChecks(m_client)) return 0;
    return Fail(RKERR_SET_OPTION, LastCurlCode());
}

int HttpRequest::SendForm() {
    AddLeadingParts();
    m_form.AddText("submit", "send");
    for (const auto& field : HttpClientAccess::MultiPartFields(m_client)) {
        m_form.AddText(oru::helper::WideStrToNarStr(field.first),
                       oru::helper::WideStrToNarStr(field.second));
    }
    if (SetOption(CURLOPT_HTTPPOST, m_form.First()) || !m_profile.formRefusalFails) return 0;
    return Fail(RKERR_SET_OPTION, LastCurlCode());
}

int HttpRequest::ReportTransferFailure(int result) {
    return Fail(RKERR_PERFORM, result);
}

void HttpRequest::SetPageHeaders() {
    SetOption(CURLOPT_ACCEPT_ENCODING, kAcceptedEncodings);
    SetOption(CURLOPT_USERAGENT, kUserAgent);
    m_headers.Append(kKeepAlive);
    SetHeaderList();
}

void HttpRequest::SetHeaderList() {
    for (const std::string& line : HttpClientAccess::AddedHeaders(m_client))
        m_headers.Append(line.c_str());
    SetOption(CURLOPT_HTTPHEADER, m_headers.Get());
    m_headerListSet = true;
}

// Only what the host opted into is set, after the operation's own options; a refusal of any of
// them ends the request with 2506.
int HttpRequest::SetRequestControls() {
    const std::vector<std::string>& added = HttpClientAccess::AddedHeaders(m_client);
    // An operation without a list of its own gets one with just the added lines.
    if (!m_headerListSet && !added.empty()) {
        for (const std::string& line : added) m_headers.Append(line.c_str());
        if (!SetOption(CURLOPT_HTTPHEADER, m_headers.Get())) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
        m_headerListSet = true;
    }
    const long maxRedirects = HttpClientAccess::MaxRedirects(m_client);
    if (maxRedirects > 0) {
        if (!m_profile.followsRedirects && !SetOption(CURLOPT_FOLLOWLOCATION, 1L)) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
        if (!SetOption(CURLOPT_MAXREDIRS, maxRedirects)) {
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        }
    }
    return 0;
}

void HttpRequest::Release() {
    HttpClientAccess::ReleaseHandle(m_client);
    m_form.Release();
    m_headers.Release();
    ReleaseOwn();
}

}  // namespace rkcurl
