// CRFTP: the object, its request preparation and the plain transfers.
#include <RKLogging/RKLogging.h>
#include <curl/curl.h>

#include "RKCurl/CRFTP.h"
#include "connection/CurlOption.h"
#include "ftp/FtpRequest.h"
#include "ftp/FtpUrl.h"
#include "ftp/tree/TreeState.h"

using oru::shared::error::RKERR_GET_FILE;
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;

namespace {

const rkcurl::ftp::FtpProfile kConnect{"CRFTP::Connect", true, RKERR_PERFORM};
const rkcurl::ftp::FtpProfile kPostFile{"CRFTP::PostFile", true, RKERR_PERFORM};

// The response body holds just this transfer's body.
class ConnectRequest : public rkcurl::ftp::FtpRequest {
public:
    explicit ConnectRequest(CRFTP& session) : FtpRequest(session, kConnect) {}

private:
    int SetOwnOptions() override {
        Response().clear();
        return 0;
    }
};

}  // namespace

CRFTP::CRFTP() : m_findIndex(0) {}

CRFTP::CRFTP(const CRFTP& other)
    : CConnection(other),
      m_findData(other.m_findData),
      m_findIndex(other.m_findIndex),
      m_useMlsd(other.m_useMlsd),
      m_listHidden(other.m_listHidden),
      m_mlsdRefused(other.m_mlsdRefused),
      m_mlsdRefusedServer(other.m_mlsdRefusedServer),
      m_findMachine(other.m_findMachine),
      m_findMarks(other.m_findMarks),
      m_findRejected(other.m_findRejected),
      m_tree(other.m_tree ? std::make_shared<rkcurl::ftp::TreeState>(*other.m_tree) : nullptr) {}

CRFTP& CRFTP::operator=(const CRFTP& other) {
    if (this == &other) return *this;
    CConnection::operator=(other);
    m_findData = other.m_findData;
    m_findIndex = other.m_findIndex;
    m_useMlsd = other.m_useMlsd;
    m_listHidden = other.m_listHidden;
    m_mlsdRefused = other.m_mlsdRefused;
    m_mlsdRefusedServer = other.m_mlsdRefusedServer;
    m_findMachine = other.m_findMachine;
    m_findMarks = other.m_findMarks;
    m_findRejected = other.m_findRejected;
    m_tree = other.m_tree ? std::make_shared<rkcurl::ftp::TreeState>(*other.m_tree) : nullptr;
    return *this;
}

CRFTP::~CRFTP() {}

int CRFTP::Validate() {
    return m_error.m_code;
}

int CRFTP::Prepare(const std::wstring& /*prefix*/) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::Prepare", nullptr);
    const int prepared = PrepareUrl(rkcurl::ftp::Url(m_server, m_href));
    if (prepared != 0) return prepared;
    if (m_secure == 0) return 0;
    if (rkcurl::SetCurlOption(*this, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL)) &&
        rkcurl::SetCurlOption(*this, CURLOPT_SSLVERSION,
                              static_cast<long>(CURL_SSLVERSION_DEFAULT)) &&
        rkcurl::SetCurlOption(*this, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_DEFAULT)) &&
        SetCertificateChecks()) {
        return 0;
    }
    return RecordFailure(RKERR_SET_OPTION, m_lastCurlCode);
}

int CRFTP::Connect() {
    return ConnectRequest(*this).Run();
}

int CRFTP::GetFile() {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::GetFile", nullptr);
    if (Connect() == 0) return 0;
    return RecordFailure(RKERR_GET_FILE, m_lastCurlCode);
}

int CRFTP::PostFile() {
    return rkcurl::ftp::FtpRequest(*this, kPostFile).Run();
}

int CRFTP::Close() {
    ReleaseHandle();
    return 0;
}
