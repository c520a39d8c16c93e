// The listing transfer of FindFirstFileW: MLSD, "LIST -a" or plain LIST, as the settings say.
#include <curl/curl.h>

#include <optional>

#include "RKCurl/CRFTP.h"
#include "ftp/FtpRequest.h"
#include "ftp/OptionResets.h"

using oru::shared::error::RKERR_GET_FILE;
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;

namespace {

const rkcurl::ftp::FtpProfile kListing{nullptr, true, RKERR_PERFORM};

// A listing with command instead of LIST, its failures recorded as GetFile's are. With refused
// non-null a 5xx reply to the command itself is not recorded: its code goes to *refused.
class ListingRequest : public rkcurl::ftp::FtpRequest {
public:
    ListingRequest(CRFTP& session, const char* command, long* refused)
        : FtpRequest(session, kListing), m_command(command), m_refused(refused) {}

    bool Refused() const { return m_wasRefused; }

private:
    int ReportPrepareFailure(int /*code*/) override { return Fail(RKERR_GET_FILE, LastCurlCode()); }

    int SetOwnOptions() override {
        // Off the handle again afterwards: the commands that run on it must not list.
        m_detach.emplace(Handle());
        if (!SetOption(CURLOPT_CUSTOMREQUEST, m_command)) {
            Fail(RKERR_SET_OPTION, LastCurlCode());
            return Fail(RKERR_GET_FILE, LastCurlCode());
        }
        Response().clear();
        return 0;
    }

    int ReportTransferFailure(int result) override {
        // libcurl reports a refused listing command as 19; a refused CWD or PASV has codes of
        // its own and is a failure of the listing whatever the command.
        long reply = 0;
        if (m_refused != nullptr && result == CURLE_FTP_COULDNT_RETR_FILE &&
            curl_easy_getinfo(Handle(), CURLINFO_RESPONSE_CODE, &reply) == CURLE_OK &&
            reply >= 500 && reply <= 599) {
            *m_refused = reply;
            m_wasRefused = true;
            return result;
        }
        Fail(RKERR_PERFORM, result);
        return Fail(RKERR_GET_FILE, LastCurlCode());
    }

    void ReleaseOwn() override { m_detach.reset(); }

    const char* m_command;
    long* m_refused;
    bool m_wasRefused = false;
    std::optional<rkcurl::ftp::CustomRequestDetach> m_detach;
};

}  // namespace

int CRFTP::FetchListing(bool& machine) {
    machine = false;
    const bool refusedHere = m_mlsdRefused && m_mlsdRefusedServer == m_server;
    if (m_useMlsd != 0 && !refusedHere) {
        long refused = 0;
        const int fetched = FetchListingWith("MLSD", &refused);
        if (fetched != kListingRefused) {
            machine = fetched == 0;
            return fetched;
        }
        // Unknown or not implemented: the server will not learn MLSD within the session.
        if (refused == 500 || refused == 502) {
            m_mlsdRefused = true;
            m_mlsdRefusedServer = m_server;
        }
    }
    if (m_listHidden != 0) return FetchListingWith("LIST -a", nullptr);
    return GetFile();  // exactly the listing without any extension
}

int CRFTP::FetchListingWith(const char* command, long* refused) {
    ListingRequest request(*this, command, refused);
    const int fetched = request.Run();
    return request.Refused() ? kListingRefused : fetched;
}
