// CRFTP's directory listing: FindFirstFileW fetches and parses, FindNextFileW hands out.
#include <RKLogging/RKLogging.h>

#include <vector>

#include "RKCurl/CRFTP.h"
#include "connection/ConnectionAccess.h"
#include "foundation/PathRules.h"
#include "ftp/FindRecord.h"
#include "ftp/FtpListingFetch.h"
#include "ftp/FtpState.h"
#include "ftp/listing/ListLineParser.h"
#include "ftp/listing/MlsdLineParser.h"
#include "platform/LineEnd.h"

namespace {

// Parses the lines of the response body into the listing; machine selects the MLSD parser.
void ParseListing(CRFTP& session, bool machine) {
    std::vector<WIN32_FIND_DATAW>& findData = rkcurl::ConnectionAccess::FindData(session);
    rkcurl::FtpState& state = rkcurl::ConnectionAccess::State(session);
    std::string& response = rkcurl::ConnectionAccess::Response(session);
    findData.clear();
    state.findMarks.clear();
    state.findRejected.clear();
    rkcurl::ConnectionAccess::FindIndex(session) = 0;
    // Lines end as libcurl delivers them on this platform; text after the last line end is
    // an unfinished line and is never parsed (it counts as rejected). Each line is cut in
    // place. The lines are gathered first, so the records (592 bytes each) are allocated
    // once, at their size. A machine listing is split at LF, a CR before it dropped, so it
    // reads the same whether or not libcurl turned CR LF into LF.
    const char* const lineEnd = machine ? "\n" : rkplatform::kListingLineEnd;
    const std::size_t lineEndLength = machine ? 1 : rkplatform::kListingLineEndLength;
    enum class Kind { Rejected, Parsed, Skipped };
    struct Line {
        std::size_t start;
        std::size_t length;
        Kind kind;
        rklisting::FtpListEntry entry;
    };
    std::vector<Line> lines;
    std::size_t parsed = 0;
    std::size_t start = 0;
    std::size_t end;
    while ((end = response.find(lineEnd, start)) != std::string::npos) {
        response[end] = '\0';
        std::size_t length = end - start;
        if (machine && length > 0 && response[end - 1] == '\r') {
            response[end - 1] = '\0';
            --length;
        }
        Line line{start, length, Kind::Rejected, rklisting::FtpListEntry{}};
        const char* text = response.data() + start;
        const int size = static_cast<int>(length);
        if (machine) {
            const rklisting::MlsdLineResult result =
                rklisting::ParseMlsdLine(line.entry, text, size);
            if (result == rklisting::MlsdAccepted) line.kind = Kind::Parsed;
            if (result == rklisting::MlsdSkipped) line.kind = Kind::Skipped;
        } else if (rklisting::ParseListLine(line.entry, text, size) == 1) {
            line.kind = Kind::Parsed;
        }
        if (line.kind == Kind::Parsed) ++parsed;
        lines.push_back(line);
        start = end + lineEndLength;
    }
    if (start < response.size()) {
        lines.push_back(
            Line{start, response.size() - start, Kind::Rejected, rklisting::FtpListEntry{}});
    }
    findData.reserve(parsed);
    state.findMarks.reserve(parsed);
    for (const Line& line : lines) {
        if (line.kind == Kind::Skipped) continue;
        WIN32_FIND_DATAW record;
        std::uint8_t marks = 0;
        if (line.kind == Kind::Parsed && rkcurl::ftp::BuildFindRecord(line.entry, record, marks)) {
            findData.push_back(record);
            state.findMarks.push_back(marks);
        } else {
            state.findRejected.emplace_back(response, line.start, line.length);
        }
    }
}

}  // namespace

int CRFTP::FindFirstFileW(WIN32_FIND_DATAW& findData) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::FindFirstFileW", nullptr);
    rkcurl::path::EnsureDirectorySlash(m_href);
    bool machine = false;
    m_ftpState->findMachine = false;
    const int fetched = rkcurl::ftp::FetchListing(*this, machine);
    if (fetched != 0) return fetched;
    m_ftpState->findMachine = machine;

    ParseListing(*this, machine);
    if (m_findData.empty()) return -1;

    m_findIndex = 0;
    findData = m_findData[0];
    m_response.clear();
    return 0;
}

int CRFTP::SetUseMlsd(int use) {
    m_ftpState->useMlsd = use;
    m_ftpState->mlsdRefused = false;
    return 0;
}

int CRFTP::SetListHidden(int hidden) {
    m_ftpState->listHidden = hidden;
    return 0;
}

std::vector<std::string> CRFTP::FindRejectedLines() const {
    return m_ftpState->findRejected;
}

bool CRFTP::FindListingIsMachine() const {
    return m_ftpState->findMachine;
}

bool CRFTP::FindEntryIsLink() const {
    const std::vector<std::uint8_t>& marks = m_ftpState->findMarks;
    return m_findIndex < marks.size() && (marks[m_findIndex] & rkcurl::ftp::kMayBeLink) != 0;
}

int CRFTP::FindNextFileW(WIN32_FIND_DATAW& findData) {
    if (m_findIndex + 1 >= m_findData.size()) return -1;
    ++m_findIndex;
    findData = m_findData[m_findIndex];
    return 0;
}
