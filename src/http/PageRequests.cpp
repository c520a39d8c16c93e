// GetPage and GetSOAPPage: the body goes to the response text.
#include "http/HttpRequest.h"

using oru::shared::error::RKERR_SET_OPTION;

namespace {

using rkcurl::RequestProfile;
using rkcurl::TlsStep;

const RequestProfile kGetPage = {
    "CRHTTP::GetPage", TlsStep::WhenSecure, true, false, false, true, false};
const RequestProfile kGetSOAPPage = {
    "CRHTTP::GetSOAPPage", TlsStep::Always, false, false, false, false, true};

class PageRequest : public rkcurl::HttpRequest {
public:
    explicit PageRequest(CRHTTP& client) : HttpRequest(client, kGetPage) {}

protected:
    int SetOwnOptions() override {
        SetPageHeaders();
        return 0;
    }
};

class SoapRequest : public rkcurl::HttpRequest {
public:
    explicit SoapRequest(CRHTTP& client) : HttpRequest(client, kGetSOAPPage) {}

protected:
    int SetOwnOptions() override {
        if (!SoapBody().empty()) {
            SetOption(CURLOPT_POST, 1L);  // result ignored: POSTFIELDS makes it a POST anyway
            // No length: libcurl sends the text up to its first zero byte, read from the member.
            if (!SetOption(CURLOPT_POSTFIELDS, SoapBody().c_str())) {
                return Fail(RKERR_SET_OPTION, LastCurlCode());
            }
        }
        Headers().Append(rkcurl::kKeepAlive);
        Headers().Append("Content-type: text/html; charset=UTF8");
        if (!SoapHeader().empty()) Headers().Append(SoapHeader().c_str());
        SetOption(CURLOPT_USERAGENT, rkcurl::kUserAgent);
        SetHeaderList();
        SetOption(CURLOPT_FOLLOWLOCATION, 1L);
        return 0;
    }
};

}  // namespace

int CRHTTP::GetPage() {
    return PageRequest(*this).Run();
}

int CRHTTP::GetSOAPPage() {
    return SoapRequest(*this).Run();
}
