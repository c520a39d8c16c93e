#include "ftp/tree/TreeJobs.h"

#include <ctime>

#include "RKCurl/CRKError.h"
#include "connection/CurlOption.h"
#include "ftp/tree/TreeAccess.h"

using oru::shared::error::RKERR_ABORTED;
using oru::shared::error::RKERR_FILE_OPEN;
using oru::shared::error::RKERR_GET_FILE;
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;

namespace rkcurl {
namespace ftp {

struct TreeJobs::Slot {
    std::unique_ptr<CRFTP> session;
    std::size_t job = 0;
    std::optional<PendingFile> pending;  // a download beside its target
    FileStream source;                   // an upload's local file
    std::uint64_t written = 0;
    std::optional<CurlStringList> after;  // an upload's commands after STOR
    double now = 0;                       // bytes of the running transfer so far
    TreeJobs* owner = nullptr;
    std::size_t index = 0;
};

namespace {

// libcurl's default receive buffer of 16 KiB costs a file download about a fifth of its speed.
constexpr long kDownloadBufferBytes = 512L * 1024;

std::size_t WriteToPending(char* data, std::size_t size, std::size_t count, void* slotData) {
    TreeJobs::Slot& slot = *static_cast<TreeJobs::Slot*>(slotData);
    const std::size_t written = std::fwrite(data, 1, size * count, slot.pending->Get());
    slot.written += written;
    return written;
}

std::size_t ReadFromSource(char* buffer, std::size_t size, std::size_t count, void* slotData) {
    std::FILE* file = static_cast<TreeJobs::Slot*>(slotData)->source.Get();
    const std::size_t read = std::fread(buffer, size, count, file);
    if (read == 0 && std::ferror(file) != 0) return CURL_READFUNC_ABORT;
    return read * size;
}

int ReportProgress(void* slotData, curl_off_t, curl_off_t downloaded, curl_off_t,
                   curl_off_t uploaded) {
    TreeJobs::Slot& slot = *static_cast<TreeJobs::Slot*>(slotData);
    return slot.owner->Progress(slot.index, static_cast<double>(downloaded + uploaded));
}

// MFMT's time: YYYYMMDDHHMMSS in UTC.
std::string MfmtTime(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
#if defined(_WIN32)
    gmtime_s(&parts, &time);
#else
    gmtime_r(&time, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &parts);
    return text;
}

std::string LastName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

TreeJobs::TreeJobs(const CRFTP& origin, const LocalTree& local, const JobOptions& options,
                   std::vector<PlannedEntry*> files, int connections)
    : m_origin(origin),
      m_local(local),
      m_options(options),
      m_files(std::move(files)),
      m_finished(m_files.size(), false),
      m_progress(TreeAccess::Progress(origin)) {
    for (int i = 0; i < connections; ++i) {
        m_slots.push_back(std::make_unique<Slot>());
        m_slots.back()->owner = this;
        m_slots.back()->index = static_cast<std::size_t>(i);
    }
    for (const PlannedEntry* entry : m_files) {
        if (entry->source.sizeKnown) m_plannedBytes += static_cast<double>(entry->source.size);
    }
}

TreeJobs::~TreeJobs() = default;

int TreeJobs::Progress(std::size_t slot, double now) {
    m_slots[slot]->now = now;
    if (m_progress == nullptr) return 0;
    double done = m_doneBytes;
    for (const auto& each : m_slots) done += each->now;
    const bool download = m_options.direction == TreeDirection::Download;
    const int stop = download ? m_progress(nullptr, m_plannedBytes, done, 0, 0)
                              : m_progress(nullptr, 0, 0, m_plannedBytes, done);
    if (stop != 0) m_aborted = true;
    return stop;
}

CURL* TreeJobs::Start(std::size_t job, std::size_t slotIndex) {
    Slot& slot = *m_slots[slotIndex];
    PlannedEntry& entry = *m_files[job];
    slot.job = job;
    slot.written = 0;
    slot.now = 0;
    if (!slot.session) slot.session = TreeAccess::Session(m_origin, false);
    CRFTP& session = *slot.session;
    const bool download = m_options.direction == TreeDirection::Download;
    const int failureCode = download ? RKERR_GET_FILE : RKERR_PERFORM;
    TreeAccess::SetHref(session, m_options.remoteRoot + entry.path);
    if (TreeAccess::Prepare(session) != 0) {
        entry.Fail(Failure{failureCode, TreeAccess::LastCurlCode(session),
                           TreeAccess::ErrorText(session)});
        m_finished[job] = true;
        return nullptr;
    }
    TreeAccess::Header(session).clear();
    if (!SetOptions(entry, slot)) {
        Abandon(job, slotIndex);
        m_finished[job] = true;
        return nullptr;
    }
    return TreeAccess::Handle(session);
}

bool TreeJobs::SetOptions(PlannedEntry& entry, Slot& slot) {
    CRFTP& session = *slot.session;
    const bool download = m_options.direction == TreeDirection::Download;
    if (download) {
        slot.pending.emplace(m_local.WidePath(entry.path));
        if (!*slot.pending) {
            entry.Fail(Failure{RKERR_FILE_OPEN, 0, "the local file cannot be made"});
            return false;
        }
    } else if (!slot.source.Open(m_local.WidePath(entry.path).c_str(), L"rb")) {
        entry.Fail(Failure{RKERR_FILE_OPEN, 0, "the local file cannot be read"});
        return false;
    }
    bool taken = true;
    const auto set = [&](CURLoption option, auto value) {
        if (taken) taken = SetOption(session, option, value);
    };
    if (download) {
        const curl_write_callback writer = &WriteToPending;
        set(CURLOPT_WRITEFUNCTION, writer);
        set(CURLOPT_WRITEDATA, static_cast<void*>(&slot));
        set(CURLOPT_BUFFERSIZE, kDownloadBufferBytes);
        // The listing told the size, and the size that arrives is checked against it: no
        // SIZE command before each RETR.
        if (entry.source.sizeKnown) set(CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
        // Without a listed time to the second, the server's MDTM gives the file's time.
        if (m_options.keepTimes && entry.source.precision != 1) set(CURLOPT_FILETIME, 1L);
    } else {
        const curl_read_callback reader = &ReadFromSource;
        set(CURLOPT_UPLOAD, 1L);
        set(CURLOPT_READFUNCTION, reader);
        set(CURLOPT_READDATA, static_cast<void*>(&slot));
        set(CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(entry.source.size));
        slot.after.emplace(FailedLine::Throw);
        // After STOR, in the file's directory: its time (a refusal does not fail the file).
        if (m_options.setRemoteTimes && entry.source.precision != 0) {
            slot.after->Append(
                ("*MFMT " + MfmtTime(entry.source.time) + " " + LastName(entry.path)).c_str());
            set(CURLOPT_POSTQUOTE, slot.after->Get());
        }
    }
    if (m_progress != nullptr) {
        const curl_xferinfo_callback progress = &ReportProgress;
        set(CURLOPT_NOPROGRESS, 0L);
        set(CURLOPT_XFERINFOFUNCTION, progress);
        set(CURLOPT_XFERINFODATA, static_cast<void*>(&slot));
    }
    if (taken) return true;
    entry.Fail(Failure{RKERR_SET_OPTION, TreeAccess::LastCurlCode(session), ""});
    return false;
}

bool TreeJobs::Verify(PlannedEntry& entry, Slot& slot) {
    CRFTP& session = *slot.session;
    CURL* const handle = TreeAccess::Handle(session);
    const bool download = m_options.direction == TreeDirection::Download;
    const int failureCode = download ? RKERR_GET_FILE : RKERR_PERFORM;
    curl_off_t expected = entry.source.sizeKnown ? static_cast<curl_off_t>(entry.source.size) : -1;
    curl_off_t arrived = static_cast<curl_off_t>(slot.written);
    if (download && expected < 0) {
        curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
    }
    if (!download) {
        arrived = -1;
        curl_easy_getinfo(handle, CURLINFO_SIZE_UPLOAD_T, &arrived);
    }
    if (expected >= 0 && arrived != expected) {
        entry.Fail(Failure{failureCode, CURLE_PARTIAL_FILE,
                           "the size at the destination differs from the source's"});
        return false;
    }
    if (download && !slot.pending->Commit()) {
        entry.Fail(Failure{failureCode, CURLE_WRITE_ERROR, "the file cannot be moved into place"});
        return false;
    }
    entry.bytes = download ? slot.written : entry.source.size;
    if (!download || !m_options.keepTimes) return true;
    std::int64_t time = entry.source.time;
    if (entry.source.precision != 1) {
        curl_off_t serverTime = -1;
        curl_easy_getinfo(handle, CURLINFO_FILETIME_T, &serverTime);
        if (serverTime < 0) return true;  // the server did not tell: the file keeps its own
        time = serverTime;
    }
    m_local.SetModificationTime(entry.path, time);
    return true;
}

void TreeJobs::Finish(std::size_t job, std::size_t slotIndex, CURLcode result) {
    Slot& slot = *m_slots[slotIndex];
    PlannedEntry& entry = *m_files[job];
    m_finished[job] = true;
    if (result == CURLE_OK) {
        Verify(entry, slot);
    } else {
        const bool download = m_options.direction == TreeDirection::Download;
        const int code = result == CURLE_ABORTED_BY_CALLBACK && m_aborted ? RKERR_ABORTED
                         : download                                       ? RKERR_GET_FILE
                                                                          : RKERR_PERFORM;
        entry.Fail(Failure{code, result, TreeAccess::ErrorText(*slot.session)});
    }
    m_doneBytes += entry.source.sizeKnown ? static_cast<double>(entry.source.size) : 0;
    Abandon(job, slotIndex);
}

void TreeJobs::Abandon(std::size_t, std::size_t slotIndex) {
    Slot& slot = *m_slots[slotIndex];
    slot.now = 0;
    slot.pending.reset();  // removes a file that was not moved into place
    slot.source.Close();
    if (slot.session) {
        CURL* const handle = TreeAccess::Handle(*slot.session);
        if (handle != nullptr) {
            curl_easy_setopt(handle, CURLOPT_POSTQUOTE, static_cast<curl_slist*>(nullptr));
        }
    }
    slot.after.reset();
}

void TreeJobs::FailUnfinished() {
    for (std::size_t job = 0; job < m_files.size(); ++job) {
        if (!m_finished[job]) {
            m_files[job]->Fail(Failure{RKERR_ABORTED, CURLE_ABORTED_BY_CALLBACK, ""});
        }
    }
}

}  // namespace ftp
}  // namespace rkcurl
