// CRFTP's tree transfers: the public entry points, the tree settings and report, and the
// tree code's way into the object (TreeAccess).
#include <RKLogging/RKLogging.h>

#include <algorithm>
#include <cstring>

#include "RKCurl/CRFTP.h"
#include "RKCurl/TextConversion.h"
#include "connection/PathComposition.h"
#include "ftp/FtpUrl.h"
#include "ftp/tree/TreeAccess.h"
#include "ftp/tree/TreeMirror.h"

namespace {

std::string Narrow(const wchar_t* text) {
    return oru::helper::WideStrToNarStr(text != nullptr ? text : L"");
}

}  // namespace

namespace rkcurl {
namespace ftp {

TreeState& TreeAccess::State(CRFTP& session) {
    if (!session.m_tree) session.m_tree = std::make_shared<TreeState>();
    return *session.m_tree;
}

std::unique_ptr<CRFTP> TreeAccess::Session(const CRFTP& origin, bool reuse) {
    auto session = std::make_unique<CRFTP>(origin);
    session->m_findData.clear();
    session->m_findMarks.clear();
    session->m_findRejected.clear();
    session->m_tree.reset();
    session->m_progressCallback = nullptr;
    // Lets go of the origin's handle and connection caches before anything is prepared:
    // the session's connections are its own.
    session->SetReuseConnections(0);
    session->Close();
    if (reuse) session->SetReuseConnections(1);
    return session;
}

int TreeAccess::Prepare(CRFTP& session) {
    return session.Prepare(kScheme);
}

std::string TreeAccess::ErrorText(const CRFTP& session) {
    return std::string(session.m_curlErrorBuffer,
                       strnlen(session.m_curlErrorBuffer, sizeof session.m_curlErrorBuffer));
}

int TreeAccess::Record(CRFTP& session, const Failure& failure) {
    // The entry's own libcurl detail, as the record's extended message shows it.
    std::memset(session.m_curlErrorBuffer, 0, sizeof session.m_curlErrorBuffer);
    const std::size_t length =
        std::min(failure.detail.size(), sizeof session.m_curlErrorBuffer - 1);
    std::memcpy(session.m_curlErrorBuffer, failure.detail.data(), length);
    return session.RecordFailure(failure.code, failure.extendedCode);
}

}  // namespace ftp
}  // namespace rkcurl

int CRFTP::GetDirectoryTree(const wchar_t* remotePath, const wchar_t* localPath) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::GetDirectoryTree", nullptr);
    m_error.reset();
    return rkcurl::ftp::MirrorRemoteToLocal(*this,
                                            rkcurl::path::JoinDirectory(m_href, Narrow(remotePath)),
                                            localPath != nullptr ? localPath : L"");
}

int CRFTP::PutDirectoryTree(const wchar_t* localPath, const wchar_t* remotePath) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::PutDirectoryTree", nullptr);
    m_error.reset();
    return rkcurl::ftp::MirrorLocalToRemote(
        *this, localPath != nullptr ? localPath : L"",
        rkcurl::path::JoinDirectory(m_href, Narrow(remotePath)));
}

int CRFTP::SetTreeCompare(int mode) {
    rkcurl::ftp::TreeAccess::State(*this).settings.compare = mode;
    return 0;
}

int CRFTP::SetTreeDelete(int remove) {
    rkcurl::ftp::TreeAccess::State(*this).settings.remove = remove != 0;
    return 0;
}

int CRFTP::SetTreeDryRun(int dryRun) {
    rkcurl::ftp::TreeAccess::State(*this).settings.dryRun = dryRun != 0;
    return 0;
}

int CRFTP::SetTreeConnections(int connections) {
    rkcurl::ftp::TreeAccess::State(*this).settings.connections =
        std::min(16, std::max(1, connections));
    return 0;
}

int CRFTP::SetTreeKeepTimes(int keep) {
    rkcurl::ftp::TreeAccess::State(*this).settings.keepTimes = keep != 0;
    return 0;
}

std::vector<CRTreeEntry> CRFTP::GetTreeReport() const {
    return m_tree ? m_tree->report : std::vector<CRTreeEntry>();
}
