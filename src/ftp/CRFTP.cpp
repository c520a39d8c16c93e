// CRFTP: the object, its request preparation and the plain transfers.
#include "RKCurl/CRFTP.h"

#include <RKLogging/RKLogging.h>
#include <curl/curl.h>

#include "connection/ConnectionAccess.h"
#include "connection/ConnectionState.h"
#include "connection/CurlOption.h"
#include "connection/Prepare.h"
#include "connection/RecordFailure.h"
#include "connection/Request.h"
#include "ftp/FtpConnectionMode.h"
#include "ftp/FtpRequests.h"
#include "ftp/FtpState.h"
#include "ftp/FtpUrl.h"

using oru::shared::error::RKERR_GET_FILE;
using oru::shared::error::RKERR_SET_OPTION;
using rkcurl::RecordFailure;
using rkcurl::SetOption;

namespace {

// The response body holds just this transfer's body.
class ConnectRequest : public rkcurl::Request {
public:
    explicit ConnectRequest(CRFTP& session)
        : Request(session, rkcurl::ftp::TransferShape("CRFTP::Connect")) {}

private:
    int SetOwnOptions() override {
        rkcurl::ConnectionAccess::Response(Channel()).clear();
        return 0;
    }
};

}  // namespace

CRFTP::CRFTP() = default;
CRFTP::CRFTP(const CRFTP& other) = default;
CRFTP& CRFTP::operator=(const CRFTP& other) = default;
CRFTP::~CRFTP() = default;

int CRFTP::Validate() {
    return m_error.m_code;
}

// Implicit TLS runs the session secure as SetSecure(1) does, on an "ftps://" URL.
int CRFTP::Prepare(const std::wstring& /*prefix*/) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::Prepare", nullptr);
    const bool implicitTls = rkcurl::ftp::UsesImplicitTls(*this);
    const bool secure = m_secure != 0 || implicitTls;
    const int prepared =
        rkcurl::PrepareUrl(*this, rkcurl::ftp::Url(m_server, m_href, implicitTls), secure);
    if (prepared != 0) return prepared;
    if (secure &&
        !(SetOption(*this, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL)) &&
          SetOption(*this, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_DEFAULT)) &&
          SetOption(*this, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_DEFAULT)) &&
          rkcurl::SetCertificateChecks(*this))) {
        return RecordFailure(*this, RKERR_SET_OPTION, m_lastCurlCode);
    }
    if (!rkcurl::ftp::SetConnectionMode(*this))
        return RecordFailure(*this, RKERR_SET_OPTION, m_lastCurlCode);
    return 0;
}

int CRFTP::Connect() {
    return ConnectRequest(*this).Run();
}

int CRFTP::GetFile() {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::GetFile", nullptr);
    if (Connect() == 0) return 0;
    return RecordFailure(*this, RKERR_GET_FILE, m_lastCurlCode);
}

int CRFTP::PostFile() {
    return rkcurl::Request(*this, rkcurl::ftp::TransferShape("CRFTP::PostFile")).Run();
}

int CRFTP::Close() {
    rkcurl::ReleaseHandle(*this);
    return 0;
}
