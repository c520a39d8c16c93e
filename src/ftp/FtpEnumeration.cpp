// CRFTP's directory listing: FindFirstFileW fetches and parses, FindNextFileW hands out.
#include <RKLogging/RKLogging.h>

#include <vector>

#include "RKCurl/CRFTP.h"
#include "connection/PathComposition.h"
#include "ftp/FindRecord.h"
#include "ftp/listing/ListLineParser.h"
#include "platform/LineEnd.h"

int CRFTP::FindFirstFileW(WIN32_FIND_DATAW& findData) {
    LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::FindFirstFileW", nullptr);
    rkcurl::path::EnsureDirectorySlash(m_href);
    const int fetched = GetFile();
    if (fetched != 0) return fetched;

    m_findData.clear();
    m_findMarks.clear();
    m_findIndex = 0;
    // Lines end as libcurl delivers them on this platform; text after the last line end is
    // an unfinished line and is never parsed. Each line is cut in place. The accepted entries
    // are gathered first, so the records (592 bytes each) are allocated once, at their size.
    std::vector<rklisting::FtpListEntry> entries;
    std::size_t start = 0;
    std::size_t end;
    while ((end = m_response.find(rkplatform::kListingLineEnd, start)) != std::string::npos) {
        m_response[end] = '\0';
        rklisting::FtpListEntry entry{};
        if (rklisting::ParseListLine(entry, m_response.data() + start,
                                     static_cast<int>(end - start)) == 1) {
            entries.push_back(entry);
        }
        start = end + rkplatform::kListingLineEndLength;
    }
    m_findData.reserve(entries.size());
    m_findMarks.reserve(entries.size());
    for (const rklisting::FtpListEntry& entry : entries) {
        WIN32_FIND_DATAW record;
        std::uint8_t marks = 0;
        if (!rkcurl::ftp::BuildFindRecord(entry, record, marks)) continue;
        m_findData.push_back(record);
        m_findMarks.push_back(marks);
    }
    if (m_findData.empty()) return -1;

    m_findIndex = 0;
    findData = m_findData[0];
    m_response.clear();
    return 0;
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
