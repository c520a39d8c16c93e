#include "ftp/tree/RemoteTree.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>

#include "connection/CurlOption.h"
#include "connection/Request.h"
#include "ftp/FtpRequests.h"
#include "ftp/HandleRestore.h"
#include "ftp/tree/RemoteListing.h"
#include "ftp/tree/TreeAccess.h"
#include "resources/CurlResources.h"

using oru::shared::error::RKERR_COMMAND;
using oru::shared::error::RKERR_CREATE_DIR;
using oru::shared::error::RKERR_DELETE_FILE;
using oru::shared::error::RKERR_GET_FILE;
using oru::shared::error::RKERR_REMOVE_DIR;

namespace rkcurl {
namespace ftp {

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A checksum the server can give, strongest first.
struct HashChoice {
    const char* algorithm;  // as HASH names it
    const char* command;    // the X command of the same algorithm
    HashKind kind;
    std::size_t hexLength;
};
constexpr HashChoice kHashChoices[] = {
    {"SHA-256", "XSHA256", HashKind::Sha256, 64},
    {"SHA-1", "XSHA1", HashKind::Sha1, 40},
    {"MD5", "XMD5", HashKind::Md5, 32},
    {"CRC32", "XCRC", HashKind::Crc32, 8},
};

std::size_t HexLength(HashKind kind) {
    for (const HashChoice& choice : kHashChoices) {
        if (choice.kind == kind) return choice.hexLength;
    }
    return 0;
}

Failure FailureOf(CRFTP& session, int code) {
    return Failure{code, TreeAccess::LastCurlCode(session), TreeAccess::ErrorText(session)};
}

// A request of the tree's own on a session: a listing with its own command, or commands sent
// without a transfer. Its failures are the tree's to record, once per entry, in the caller's
// object: the request records none of them in the session.
class TreeRequest : public Request {
public:
    // A listing with command (MLSD, "LIST -a") into the session's body.
    TreeRequest(CRFTP& session, const char* command)
        : Request(session, TransferShape(nullptr)), m_command(command) {}
    // The commands with no transfer, their replies in the header: sent first (CURLOPT_QUOTE),
    // or once the connection is in the HREF's directory (CURLOPT_PREQUOTE), when their replies
    // must be the last ones.
    TreeRequest(CRFTP& session, const std::vector<std::string>& commands, CURLoption option)
        : Request(session, TransferShape(nullptr)), m_commands(&commands), m_option(option) {}

    // libcurl's result of the transfer (CURLE_FAILED_INIT when it never ran) and the server's
    // last reply code.
    CURLcode CurlResult() const { return m_curlResult; }
    long Reply() const { return m_reply; }

protected:
    int SetOwnOptions() override {
        CConnection& session = Channel();
        if (m_commands == nullptr) {
            ConnectionAccess::Response(session).clear();
            m_listingRemover.emplace(Handle());
            if (SetOption(session, CURLOPT_CUSTOMREQUEST, m_command)) return 0;
        } else {
            for (const std::string& command : *m_commands) m_list.Append(command.c_str());
            ConnectionAccess::Header(session).clear();
            m_quoteRemover.emplace(Handle(), m_option);
            if (SetOption(session, CURLOPT_NOBODY, 1L) &&
                SetOption(session, m_option, m_list.Get()))
                return 0;
        }
        m_curlResult = static_cast<CURLcode>(LastCurlCode());
        return oru::shared::error::RKERR_SET_OPTION;
    }
    int AfterPerform(int result) override {
        m_curlResult = static_cast<CURLcode>(result);
        curl_easy_getinfo(Handle(), CURLINFO_RESPONSE_CODE, &m_reply);
        return result;
    }
    int ReportTransferFailure(int result) override { return result; }
    void ReleaseOwn() override {
        m_quoteRemover.reset();
        m_listingRemover.reset();
    }

private:
    const char* m_command = nullptr;
    const std::vector<std::string>* m_commands = nullptr;
    const CURLoption m_option = CURLOPT_QUOTE;
    CurlStringList m_list{FailedLine::Throw};
    std::optional<QuoteListRemover> m_quoteRemover;  // after the list it takes off the handle
    std::optional<ListingCommandRemover> m_listingRemover;
    CURLcode m_curlResult = CURLE_FAILED_INIT;
    long m_reply = 0;
};

}  // namespace

ServerFeatures ParseFeatures(const std::string& replies) {
    ServerFeatures features;
    std::vector<std::string> hashAlgorithms;
    std::vector<std::string> commands;
    std::istringstream lines(replies);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] != ' ') continue;  // features are the indented lines
        std::istringstream words(line);
        std::string name, rest;
        words >> name >> rest;
        name = Upper(name);
        if (name == "MLST") features.mlst = true;
        if (name == "MFMT") features.mfmt = true;
        if (name == "SIZE") features.size = true;
        commands.push_back(name);
        if (name != "HASH") continue;
        std::istringstream algorithms(rest);
        for (std::string algorithm; std::getline(algorithms, algorithm, ';');) {
            if (!algorithm.empty() && algorithm.back() == '*') algorithm.pop_back();
            hashAlgorithms.push_back(Upper(algorithm));
        }
    }
    const auto has = [](const std::vector<std::string>& list, const std::string& item) {
        return std::find(list.begin(), list.end(), item) != list.end();
    };
    for (const HashChoice& choice : kHashChoices) {
        if (has(hashAlgorithms, choice.algorithm)) {
            features.hashCommand = "HASH";
            features.hashSelect = true;
            features.hashAlgorithm = choice.algorithm;
        } else if (has(commands, choice.command)) {
            features.hashCommand = choice.command;
        } else {
            continue;
        }
        features.hash = true;
        features.hashKind = choice.kind;
        break;
    }
    return features;
}

RemoteTree::RemoteTree(const CRFTP& origin, const std::string& root, MultiPerformer& performer)
    : m_origin(origin), m_root(root), m_performer(performer) {}

bool RemoteTree::Open(bool create, Failure& failure) {
    m_session = TreeAccess::Session(m_origin, false);
    if (create) {
        // Before any request of the tree runs: its connection goes with the session's next
        // request.
        TreeAccess::SetHref(*m_session, m_root);
        if (m_session->CreateDirectoryW(L"") == 0) return true;
        failure = FailureOf(*m_session, RKERR_CREATE_DIR);
        m_session.reset();
        return false;
    }
    m_haveRootListing = List("", m_rootListing, failure);
    if (!m_haveRootListing) m_session.reset();
    return m_haveRootListing;
}

CRFTP& RemoteTree::Session() {
    if (!m_session) m_session = TreeAccess::Session(m_origin, false);
    return *m_session;
}

void RemoteTree::Perform(Request& request) {
    bool over = false;
    m_performer.AddFirst(request, [&over](Request&) { over = true; });
    m_performer.RunUntil([&over] { return over; });
}

bool RemoteTree::List(const std::string& directory, std::vector<TreeItem>& items,
                      Failure& failure) {
    if (directory.empty() && m_haveRootListing) {
        items = std::move(m_rootListing);
        m_haveRootListing = false;
        return true;
    }
    CRFTP& session = Session();
    const std::string href = m_root + (directory.empty() ? "" : directory + "/");
    // MLSD first: a server that does not know it (500, 502) is asked with LIST from then on,
    // one that refuses it otherwise for this directory only; "LIST -a" so that servers that
    // hide dot files show them.
    bool machine = !m_mlsdRefused;
    long reply = 0;
    CURLcode result = machine ? Fetch(href, "MLSD", reply) : CURLE_FTP_COULDNT_RETR_FILE;
    if (machine && result == CURLE_FTP_COULDNT_RETR_FILE && reply >= 500 && reply <= 599) {
        m_mlsdRefused = reply == 500 || reply == 502;
        machine = false;
    }
    if (!machine) result = Fetch(href, "LIST -a", reply);
    if (result != CURLE_OK) {
        failure = FailureOf(session, RKERR_GET_FILE);
        return false;
    }
    std::string& body = TreeAccess::Body(session);
    items = ParseTreeListing(body, machine);
    body.clear();
    return true;
}

CURLcode RemoteTree::Fetch(const std::string& href, const char* command, long& reply) {
    TreeAccess::SetHref(*m_session, href);
    TreeRequest listing(*m_session, command);
    Perform(listing);
    reply = listing.Reply();
    return listing.CurlResult();
}

bool RemoteTree::Run(const std::vector<std::string>& commands, int code, Failure& failure,
                     CURLoption option) {
    CRFTP& session = Session();
    TreeAccess::SetHref(session, m_root);
    TreeRequest request(session, commands, option);
    Perform(request);
    if (request.Result() == 0) return true;
    failure = FailureOf(session, code);
    return false;
}

bool RemoteTree::MakeDirectory(const std::string& directory, Failure& failure) {
    return Run({"MKD " + AbsolutePath(directory)}, RKERR_CREATE_DIR, failure);
}

bool RemoteTree::RemoveFile(const std::string& path, Failure& failure) {
    return Run({"DELE " + AbsolutePath(path)}, RKERR_DELETE_FILE, failure);
}

bool RemoteTree::RemoveEmptyDirectory(const std::string& path, Failure& failure) {
    return Run({"RMD " + AbsolutePath(path)}, RKERR_REMOVE_DIR, failure);
}

const ServerFeatures& RemoteTree::Features() {
    if (m_haveFeatures) return m_features;
    m_haveFeatures = true;
    Failure ignored;
    if (Run({"FEAT"}, RKERR_COMMAND, ignored)) {
        m_features = ParseFeatures(TreeAccess::Header(*m_session));
    }
    return m_features;
}

bool RemoteTree::Hash(const std::string& path, std::string& hex, Failure& failure) {
    const ServerFeatures& features = Features();
    std::vector<std::string> commands;
    if (features.hashSelect) commands.push_back("OPTS HASH " + features.hashAlgorithm);
    commands.push_back(features.hashCommand + " " + AbsolutePath(path));
    // After the CWDs that a connection last used for a file in another directory needs.
    if (!Run(commands, RKERR_COMMAND, failure, CURLOPT_PREQUOTE)) return false;
    // The hash is the word of the last reply that has the length of the algorithm's hex.
    const std::string& replies = TreeAccess::Header(*m_session);
    std::size_t end = replies.find_last_not_of("\r\n");
    std::size_t begin = replies.rfind('\n', end);
    begin = begin == std::string::npos ? 0 : begin + 1;
    std::istringstream words(replies.substr(begin, end + 1 - begin));
    for (std::string word; words >> word;) {
        if (word.size() == HexLength(features.hashKind) &&
            word.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
            for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            hex = word;
            return true;
        }
    }
    failure = Failure{RKERR_COMMAND, 0, "no hash in the reply"};
    return false;
}

}  // namespace ftp
}  // namespace rkcurl
