// CRFTP's raw commands and the operations built on them. They run on the handle that the
// latest request left, so relative names resolve in that request's directory.
#include <RKLogging/RKLogging.h>
#include <curl/curl.h>

#include <optional>

#include "RKCurl/CRFTP.h"
#include "RKCurl/TextConversion.h"
#include "connection/ConnectionAccess.h"
#include "connection/CurlOption.h"
#include "connection/RecordFailure.h"
#include "connection/Request.h"
#include "foundation/PathRules.h"
#include "foundation/WideText.h"
#include "ftp/HandleRestore.h"
#include "resources/CurlResources.h"

using oru::shared::error::RKERR_COMMAND;
using oru::shared::error::RKERR_DELETE_FILE;
using oru::shared::error::RKERR_GET_CURRENT_DIR;
using oru::shared::error::RKERR_REMOVE_DIR;
using oru::shared::error::RKERR_SET_OPTION;
using rkcurl::RecordFailure;
using rkcurl::SetOption;

namespace {

// The reply that counts as a removed directory even when the rest of the request failed.
constexpr char kDirectoryDeleted[] = "250 Directory deleted successfully";

std::string Narrow(const wchar_t* text) {
    return oru::helper::WideStrToNarStr(rkcurl::OrEmpty(text));
}

// The commands as a quote list, before the request's own commands or after them, on the
// handle the latest request left, moving no data.
class CommandRequest : public rkcurl::Request {
public:
    CommandRequest(CRFTP& session, const std::vector<std::string>& commands, bool post)
        : Request(session, rkcurl::RequestShape()
                               .Trace("CRFTP::Command")
                               .OnLatestHandle()
                               .PollsReusedConnection()
                               .FailsTransferWith(RKERR_COMMAND)),
          m_commands(commands),
          m_listOption(post ? CURLOPT_POSTQUOTE : CURLOPT_QUOTE) {}

private:
    bool HasNothingToSend() const override { return m_commands.empty(); }

    int SetOwnOptions() override {
        for (const std::string& command : m_commands) m_list.Append(command.c_str());
        rkcurl::ConnectionAccess::Header(Channel()).clear();
        if (!SetOption(Channel(), m_listOption, m_list.Get()))
            return Fail(RKERR_COMMAND, LastCurlCode());
        m_remover.emplace(Handle(), m_listOption);  // released before the list
        if (!SetOption(Channel(), CURLOPT_NOBODY, 1L))
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        return 0;
    }

    int Complete() override {
        if (!SetOption(Channel(), CURLOPT_NOBODY, 0L))
            return Fail(RKERR_SET_OPTION, LastCurlCode());
        return 0;
    }

    void ReleaseOwn() override {
        m_remover.reset();
        m_list.Release();
    }

    const std::vector<std::string>& m_commands;
    const CURLoption m_listOption;
    // A command that cannot be copied fails the call: the others must not run without it.
    rkcurl::CurlStringList m_list{rkcurl::FailedLine::Throw};
    std::optional<rkcurl::ftp::QuoteListRemover> m_remover;
};

}  // namespace

int CRFTP::Command(const std::vector<std::string>& commands, int post) {
    return CommandRequest(*this, commands, post != 0).Run();
}

int CRFTP::DeleteFileW(const wchar_t* path) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::DeleteFileW", nullptr);
    if (Command({"DELE " + Narrow(path)}, 0) == 0) return 0;
    return RecordFailure(*this, RKERR_DELETE_FILE, m_lastCurlCode);
}

int CRFTP::RemoveDirectoryW(const wchar_t* path) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::RemoveDirectoryW", nullptr);
    if (Command({"RMD " + Narrow(path)}, 0) == 0) return 0;
    // The server confirmed the removal; what failed afterwards does not undo it.
    if (m_header.find(kDirectoryDeleted) != std::string::npos) return 0;
    return RecordFailure(*this, RKERR_REMOVE_DIR, m_lastCurlCode);
}

int CRFTP::GetCurrentDirectoryW(wchar_t* buffer, DWORD* length) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::GetCurrentDirectoryW", nullptr);
    if (Command({"PWD "}, 0) != 0)
        return RecordFailure(*this, RKERR_GET_CURRENT_DIR, m_lastCurlCode);

    rkcurl::path::EnsureDirectorySlash(m_href);
    const std::wstring directory = GetHREF();

    if (buffer == nullptr || length == nullptr || *length == 0) return 0;  // no room at all
    const std::size_t capacity = *length;
    if (directory.size() < capacity) {
        directory.copy(buffer, directory.size());
        buffer[directory.size()] = L'\0';
        *length = static_cast<DWORD>(directory.size() + 1);
    } else {
        directory.copy(buffer, capacity - 1);
        buffer[capacity - 1] = L'\0';
    }
    return 0;
}
