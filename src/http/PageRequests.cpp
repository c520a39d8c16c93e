// GetPage and GetSOAPPage: the body goes to the response text.
#include "connection/ConnectionAccess.h"
#include "connection/CurlOption.h"
#include "http/HttpOperation.h"

using oru::shared::error::RKERR_SET_OPTION;

namespace {

using rkcurl::SetOption;
using rkcurl::http::HttpShape;
using rkcurl::http::TlsStep;

const HttpShape kGetPage = HttpShape("CRHTTP::GetPage").SendsForm().MayGetPlain();
const HttpShape kGetSOAPPage =
    HttpShape("CRHTTP::GetSOAPPage").Tls(TlsStep::Always).FollowsRedirects();

class PageRequest : public rkcurl::http::HttpOperation {
public:
    explicit PageRequest(CRHTTP& client) : HttpOperation(client, kGetPage) {}

protected:
    int SetRequestOptions() override {
        SetPageHeaders();
        return 0;
    }
};

class SoapRequest : public rkcurl::http::HttpOperation {
public:
    explicit SoapRequest(CRHTTP& client) : HttpOperation(client, kGetSOAPPage) {}

protected:
    int SetRequestOptions() override {
        const std::string& body = rkcurl::ConnectionAccess::SoapBody(Client());
        const std::string& line = rkcurl::ConnectionAccess::SoapHeader(Client());
        if (!body.empty()) {
            SetOption(Client(), CURLOPT_POST,
                      1L);  // result ignored: POSTFIELDS makes it a POST anyway
            // No length: libcurl sends the text up to its first zero byte, read from the member.
            if (!SetOption(Client(), CURLOPT_POSTFIELDS, body.c_str())) {
                return Fail(RKERR_SET_OPTION, LastCurlCode());
            }
        }
        Headers().Append(rkcurl::http::kKeepAlive);
        Headers().Append("Content-type: text/html; charset=UTF8");
        if (!line.empty()) Headers().Append(line.c_str());
        SetOption(Client(), CURLOPT_USERAGENT, rkcurl::http::kUserAgent);
        SetHeaderList();
        SetOption(Client(), CURLOPT_FOLLOWLOCATION, 1L);
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
