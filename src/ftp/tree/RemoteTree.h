// The remote side of a tree transfer: a directory on the server, reached through a session of
// the tree's own whose requests run on the tree's MultiPerformer, ahead of the files waiting
// there: they share its connections (logged in once), so the server sees no connection beyond
// the tree's N, and the transfers under way go on while a directory is listed.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>
#include <vector>

#include "RKCurl/CRFTP.h"
#include "connection/MultiPerformer.h"
#include "ftp/tree/FileHashes.h"
#include "ftp/tree/TreeItem.h"

namespace rkcurl {
namespace ftp {

// What the server's FEAT reply offers that a tree transfer uses.
struct ServerFeatures {
    bool mlst = false;
    bool mfmt = false;
    bool size = false;
    bool hash = false;          // a checksum command was found: hashCommand and hashKind say which
    bool hashSelect = false;    // HASH: the algorithm is chosen with "OPTS HASH <name>" first
    std::string hashCommand;    // "HASH", "XSHA256", "XSHA1", "XMD5" or "XCRC"
    std::string hashAlgorithm;  // for HASH: "SHA-256", "SHA-1", "MD5" or "CRC32"
    HashKind hashKind = HashKind::Sha256;
};

// Reads the features from FEAT's reply lines; the strongest checksum wins, HASH before the
// X commands of the same strength.
ServerFeatures ParseFeatures(const std::string& replies);

class RemoteTree : public TreeSide {
public:
    // root: the tree's directory as an FTP path ending in "/".
    RemoteTree(const CRFTP& origin, const std::string& root, MultiPerformer& performer);

    // Connects and lists the root (kept for the first List of it). With create, the root and
    // its missing parents are made first instead.
    bool Open(bool create, Failure& failure);
    bool List(const std::string& directory, std::vector<TreeItem>& items,
              Failure& failure) override;
    bool MakeDirectory(const std::string& directory, Failure& failure) override;
    bool RemoveFile(const std::string& path, Failure& failure) override;
    bool RemoveEmptyDirectory(const std::string& path, Failure& failure) override;

    // FEAT, asked once per tree transfer.
    const ServerFeatures& Features();
    // The server's hash of the file; false with failure when it gave none.
    bool Hash(const std::string& path, std::string& hex, Failure& failure);
    // Lets go of the session (its connection stays the performer's).
    void Close() { m_session.reset(); }

    // The FTP path of a tree path.
    std::string AbsolutePath(const std::string& path) const { return m_root + path; }
    const std::string& Root() const { return m_root; }

private:
    CRFTP& Session();
    // Runs the request on the performer, first of those waiting, until it is over.
    void Perform(Request& request);
    // Sends the commands on the session (option: CURLOPT_QUOTE or CURLOPT_PREQUOTE), in the
    // root; false with (code, libcurl's result).
    bool Run(const std::vector<std::string>& commands, int code, Failure& failure,
             CURLoption option = CURLOPT_QUOTE);
    // The listing of the directory href with command (MLSD or LIST) into the session's body;
    // libcurl's result, the server's last reply code in reply. Records nothing: a failed
    // listing is one entry's failure, recorded once with the report.
    CURLcode Fetch(const std::string& href, const char* command, long& reply);

    const CRFTP& m_origin;
    const std::string m_root;
    MultiPerformer& m_performer;
    std::unique_ptr<CRFTP> m_session;
    bool m_haveRootListing = false;
    std::vector<TreeItem> m_rootListing;
    bool m_mlsdRefused = false;  // the server does not know MLSD: LIST from now on
    bool m_haveFeatures = false;
    ServerFeatures m_features;
};

}  // namespace ftp
}  // namespace rkcurl
