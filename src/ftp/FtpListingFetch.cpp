// The listing transfer of FindFirstFileW: MLSD, "LIST -a" or plain LIST, as the settings say.
#include "ftp/FtpListingFetch.h"

#include <curl/curl.h>

#include <optional>

#include "connection/ConnectionAccess.h"
#include "connection/CurlOption.h"
#include "connection/RecordFailure.h"
#include "connection/Request.h"
#include "ftp/FtpRequests.h"
#include "ftp/FtpState.h"
#include "ftp/HandleRestore.h"

using oru::shared::error::RKERR_GET_FILE;
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;
using rkcurl::SetOption;

namespace {

// A listing with command instead of LIST, its failures recorded as GetFile's are. With refused
// non-null a 5xx reply to the command itself is not recorded: its code goes to *refused.
class ListingRequest : public rkcurl::Request {
public:
    ListingRequest(CRFTP& session, const char* command, long* refused)
        : Request(session, rkcurl::ftp::TransferShape(nullptr)),
          m_command(command),
          m_refused(refused) {}

    bool Refused() const { return m_wasRefused; }

private:
    int ReportPrepareFailure(int /*code*/) override { return Fail(RKERR_GET_FILE, LastCurlCode()); }

    int SetOwnOptions() override {
        // Off the handle again afterwards: the commands that run on it must not list.
        m_remover.emplace(Handle());
        if (!SetOption(Channel(), CURLOPT_CUSTOMREQUEST, m_command)) {
            Fail(RKERR_SET_OPTION, LastCurlCode());
            return Fail(RKERR_GET_FILE, LastCurlCode());
        }
        rkcurl::ConnectionAccess::Response(Channel()).clear();
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

    void ReleaseOwn() override { m_remover.reset(); }

    const char* m_command;
    long* m_refused;
    bool m_wasRefused = false;
    std::optional<rkcurl::ftp::ListingCommandRemover> m_remover;
};

// The result of FetchListingWith for a command the server refused with a 5xx reply.
constexpr int kListingRefused = -2;

// Prepares and performs a listing with command instead of LIST, recording failures as GetFile
// does. With refused non-null a 5xx reply to the command itself is not recorded: its code
// goes to *refused and the result is kListingRefused.
int FetchListingWith(CRFTP& session, const char* command, long* refused) {
    ListingRequest request(session, command, refused);
    const int fetched = request.Run();
    return request.Refused() ? kListingRefused : fetched;
}

}  // namespace

namespace rkcurl {
namespace ftp {

int FetchListing(CRFTP& session, bool& machine) {
    FtpState& state = ConnectionAccess::State(session);
    const std::wstring& server = ConnectionAccess::Server(session);
    machine = false;
    const bool refusedHere = state.mlsdRefused && state.mlsdRefusedServer == server;
    if (state.useMlsd != 0 && !refusedHere) {
        long refused = 0;
        const int fetched = FetchListingWith(session, "MLSD", &refused);
        if (fetched != kListingRefused) {
            machine = fetched == 0;
            return fetched;
        }
        // Unknown or not implemented: the server will not learn MLSD within the session.
        if (refused == 500 || refused == 502) {
            state.mlsdRefused = true;
            state.mlsdRefusedServer = server;
        }
    }
    if (state.listHidden != 0) return FetchListingWith(session, "LIST -a", nullptr);
    return session.GetFile();  // exactly the listing without any extension
}

}  // namespace ftp
}  // namespace rkcurl
