// CRFTP's tree transfers: the public entry points, the tree settings and report, and the
// tree code's way into the object (TreeAccess).
#include <RKLogging/RKLogging.h>

#include <algorithm>
#include <cstring>

#include "RKCurl/CRFTP.h"
#include "RKCurl/TextConversion.h"
#include "connection/RecordFailure.h"
#include "foundation/PathRules.h"
#include "foundation/WideText.h"
#include "ftp/FtpRequests.h"
#include "ftp/FtpState.h"
#include "ftp/tree/TreeAccess.h"
#include "ftp/tree/TreeMirror.h"

namespace rkcurl {
namespace ftp {

std::unique_ptr<CRFTP> TreeAccess::Session(const CRFTP& origin, bool reuse) {
    auto session = std::make_unique<CRFTP>(origin);
    ConnectionAccess::FindData(*session).clear();
    FtpState& state = ConnectionAccess::State(*session);
    state.findMarks.clear();
    state.findRejected.clear();
    state.tree = TreeState();
    session->SetProgressCallback(nullptr);
    // Lets go of the origin's handle and connection caches before anything is prepared:
    // the session's connections are its own.
    session->SetReuseConnections(0);
    session->Close();
    if (reuse) session->SetReuseConnections(1);
    return session;
}

int TreeAccess::Prepare(CRFTP& session) {
    CConnection& connection = session;  // the public slot, dispatched to CRFTP's preparation
    return connection.Prepare(kScheme);
}

std::string TreeAccess::ErrorText(CRFTP& session) {
    const auto& buffer = ConnectionAccess::ErrorBuffer(session);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

int TreeAccess::Record(CRFTP& session, const Failure& failure) {
    // The entry's own libcurl detail, as the record's extended message shows it.
    auto& buffer = ConnectionAccess::ErrorBuffer(session);
    std::memset(buffer, 0, sizeof buffer);
    const std::size_t length = std::min(failure.detail.size(), sizeof buffer - 1);
    std::memcpy(buffer, failure.detail.data(), length);
    return RecordFailure(session, failure.code, failure.extendedCode);
}

}  // namespace ftp
}  // namespace rkcurl

int CRFTP::GetDirectoryTree(const wchar_t* remotePath, const wchar_t* localPath) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::GetDirectoryTree", nullptr);
    m_error.reset();
    return rkcurl::ftp::MirrorRemoteToLocal(
        *this,
        rkcurl::path::JoinDirectory(m_href,
                                    oru::helper::WideStrToNarStr(rkcurl::OrEmpty(remotePath))),
        rkcurl::OrEmpty(localPath));
}

int CRFTP::PutDirectoryTree(const wchar_t* localPath, const wchar_t* remotePath) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::PutDirectoryTree", nullptr);
    m_error.reset();
    return rkcurl::ftp::MirrorLocalToRemote(
        *this, rkcurl::OrEmpty(localPath),
        rkcurl::path::JoinDirectory(m_href,
                                    oru::helper::WideStrToNarStr(rkcurl::OrEmpty(remotePath))));
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
    return rkcurl::ftp::TreeAccess::State(*this).report;
}
