// CRFTP's directory listing: FindFirstFileW fetches and parses, FindNextFileW hands out.
#include <RKLogging/RKLogging.h>

#include <vector>

#include "RKCurl/CRFTP.h"
#include "connection/PathComposition.h"
#include "ftp/FindRecord.h"
#include "ftp/listing/ListLineParser.h"
#include "ftp/listing/MlsdLineParser.h"
#include "platform/LineEnd.h"

int CRFTP::FindFirstFileW(WIN32_FIND_DATAW& findData) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::FindFirstFileW", nullptr);
    rkcurl::path::EnsureDirectorySlash(m_href);
    bool machine = false;
    m_findMachine = false;
    const int fetched = FetchListing(machine);
    if (fetched != 0) return fetched;
    m_findMachine = machine;

    ParseListing(machine);
    if (m_findData.empty()) return -1;

    m_findIndex = 0;
    findData = m_findData[0];
    m_response.clear();
    return 0;
}

int CRFTP::SetUseMlsd(int use) {
    m_useMlsd = use;
    m_mlsdRefused = false;
    return 0;
}

int CRFTP::SetListHidden(int hidden) {
    m_listHidden = hidden;
    return 0;
}

void CRFTP::ParseListing(bool machine) {
    m_findData.clear();
    m_findMarks.clear();
    m_findRejected.clear();
    m_findIndex = 0;
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
    while ((end = m_response.find(lineEnd, start)) != std::string::npos) {
        m_response[end] = '\0';
        std::size_t length = end - start;
        if (machine && length > 0 && m_response[end - 1] == '\r') {
            m_response[end - 1] = '\0';
            --length;
        }
        Line line{start, length, Kind::Rejected, rklisting::FtpListEntry{}};
        const char* text = m_response.data() + start;
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
    if (start < m_response.size()) {
        lines.push_back(
            Line{start, m_response.size() - start, Kind::Rejected, rklisting::FtpListEntry{}});
    }
    m_findData.reserve(parsed);
    m_findMarks.reserve(parsed);
    for (const Line& line : lines) {
        if (line.kind == Kind::Skipped) continue;
        WIN32_FIND_DATAW record;
        std::uint8_t marks = 0;
        if (line.kind == Kind::Parsed && rkcurl::ftp::BuildFindRecord(line.entry, record, marks)) {
            m_findData.push_back(record);
            m_findMarks.push_back(marks);
        } else {
            m_findRejected.emplace_back(m_response, line.start, line.length);
        }
    }
}

std::vector<std::string> CRFTP::FindRejectedLines() const {
    return m_findRejected;
}

bool CRFTP::FindListingIsMachine() const {
    return m_findMachine;
}

bool CRFTP::FindEntryIsLink() const {
    return m_findIndex < m_findMarks.size() &&
           (m_findMarks[m_findIndex] & rkcurl::ftp::kMayBeLink) != 0;
}

int CRFTP::FindNextFileW(WIN32_FIND_DATAW& findData) {
    if (m_findIndex + 1 >= m_findData.size()) return -1;
    ++m_findIndex;
    findData = m_findData[m_findIndex];
    return 0;
}
