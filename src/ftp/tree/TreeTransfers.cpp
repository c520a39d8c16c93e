#include "ftp/tree/TreeTransfers.h"

#include <ctime>
#include <optional>

#include "RKCurl/CRKError.h"
#include "connection/CurlOption.h"
#include "connection/Request.h"
#include "ftp/FtpRequests.h"
#include "ftp/tree/TreeAccess.h"
#include "resources/CurlResources.h"

using oru::shared::error::RKERR_ABORTED;
using oru::shared::error::RKERR_FILE_OPEN;
using oru::shared::error::RKERR_GET_FILE;
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;

namespace rkcurl {
namespace ftp {

struct TreeTransfers::Slot {
    std::unique_ptr<CRFTP> session;
    std::unique_ptr<Request> request;  // the file (or the times) it carries, or the latest one
    bool busy = false;
    double now = 0;  // bytes of the running transfer so far
    std::size_t index = 0;
};

namespace {

// libcurl's default receive buffer of 16 KiB costs a file download about a fifth of its speed.
constexpr long kDownloadBufferBytes = 512L * 1024;

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

// The path that libcurl sends for an HREF (which begins with "/"): without that first "/",
// relative to the login directory unless it begins with another.
std::string ServerPath(const std::string& href) {
    return href.empty() ? href : href.substr(1);
}

// Every request of the tree names its file by its whole path (RETR dir/sub/name) instead of
// changing directory first, one CWD per name, whenever a connection moves to another
// directory. Relative paths are then taken from the login directory, where libcurl returns a
// reused connection that a listing left elsewhere.
bool SetWholePaths(CRFTP& session) {
    return SetOption(session, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
}

// Commands sent right before a request's transfer, or where it would be for a request without
// one (CURLOPT_PREQUOTE), in the login directory (see SetWholePaths). libcurl reads their
// replies without blocking the other connections, unlike those of commands sent after a
// transfer. A refusal ("*") fails nothing.
bool SetCommandsBefore(CRFTP& session, std::optional<CurlStringList>& list,
                       const std::vector<std::string>& commands) {
    if (commands.empty()) return true;
    list.emplace(FailedLine::Throw);
    for (const std::string& command : commands) list->Append(command.c_str());
    return SetOption(session, CURLOPT_PREQUOTE, list->Get());
}

void ClearCommandsBefore(CURL* handle, std::optional<CurlStringList>& list) {
    if (list) curl_easy_setopt(handle, CURLOPT_PREQUOTE, static_cast<curl_slist*>(nullptr));
    list.reset();
}

}  // namespace

// The MFMTs that uploads left unsent when no file was about to run: one request without a
// transfer that only sends them.
class TreeTransfers::TimesRequest : public Request {
public:
    TimesRequest(Slot& slot, std::vector<std::string> commands)
        : Request(*slot.session, RequestShape().PreparedWith(kScheme)),
          m_commands(std::move(commands)) {}

protected:
    int SetOwnOptions() override {
        CRFTP& session = static_cast<CRFTP&>(Channel());
        TreeAccess::Header(session).clear();
        if (SetOption(session, CURLOPT_NOBODY, 1L) && SetWholePaths(session) &&
            SetCommandsBefore(session, m_before, m_commands)) {
            return 0;
        }
        return RKERR_SET_OPTION;
    }
    // Like a refused MFMT, a failure here fails no file and is recorded nowhere.
    int ReportPrepareFailure(int code) override { return code; }
    int ReportTransferFailure(int result) override { return result; }
    void ReleaseOwn() override { ClearCommandsBefore(Handle(), m_before); }

private:
    const std::vector<std::string> m_commands;
    std::optional<CurlStringList> m_before;
};

// One file on one slot's session. Its failures are the entry's, recorded once with the
// report: nothing is recorded in the session.
class TreeTransfers::FileRequest : public Request {
public:
    FileRequest(TreeTransfers& owner, Slot& slot, PlannedEntry& entry,
                std::vector<std::string> times)
        : Request(*slot.session, RequestShape().PreparedWith(kScheme)),
          m_owner(owner),
          m_slot(slot),
          m_entry(entry),
          m_download(owner.m_options.direction == TreeDirection::Download),
          m_failureCode(m_download ? RKERR_GET_FILE : RKERR_PERFORM),
          m_times(std::move(times)) {}

    PlannedEntry& Entry() { return m_entry; }
    // The earlier uploads' MFMTs sent before this file's transfer.
    std::vector<std::string>& CarriedTimes() { return m_times; }

protected:
    int ReportPrepareFailure(int code) override {
        m_entry.Fail(Failure{m_failureCode, LastCurlCode(), Detail()});
        return code;
    }
    int SetOwnOptions() override;
    int ReportTransferFailure(int result) override {
        const int code = result == CURLE_ABORTED_BY_CALLBACK && m_owner.m_aborted ? RKERR_ABORTED
                                                                                  : m_failureCode;
        m_entry.Fail(Failure{code, result, Detail()});
        return code;
    }
    int Complete() override;
    void ReleaseOwn() override {
        ClearCommandsBefore(Handle(), m_before);
        m_pending.reset();  // removes a file that was not moved into place
        m_source.Close();
    }

private:
    static std::size_t Write(char* data, std::size_t size, std::size_t count, void* self) {
        FileRequest& request = *static_cast<FileRequest*>(self);
        const std::size_t written = std::fwrite(data, 1, size * count, request.m_pending->Get());
        request.m_written += written;
        return written;
    }
    static std::size_t Read(char* buffer, std::size_t size, std::size_t count, void* self) {
        std::FILE* file = static_cast<FileRequest*>(self)->m_source.Get();
        const std::size_t read = std::fread(buffer, size, count, file);
        if (read == 0 && std::ferror(file) != 0) return CURL_READFUNC_ABORT;
        return read * size;
    }
    static int ReportProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                              curl_off_t uploaded) {
        FileRequest& request = *static_cast<FileRequest*>(self);
        return request.m_owner.Progress(request.m_slot.index,
                                        static_cast<double>(downloaded + uploaded));
    }
    std::string Detail() { return TreeAccess::ErrorText(*m_slot.session); }
    int Refuse(const Failure& failure) {
        m_entry.Fail(failure);
        return failure.code;
    }

    TreeTransfers& m_owner;
    Slot& m_slot;
    PlannedEntry& m_entry;
    const bool m_download;
    const int m_failureCode;
    std::optional<PendingFile> m_pending;  // a download beside its target
    FileStream m_source;                   // an upload's local file
    std::uint64_t m_written = 0;
    std::vector<std::string> m_times;
    std::optional<CurlStringList> m_before;
};

int TreeTransfers::FileRequest::SetOwnOptions() {
    CRFTP& session = *m_slot.session;
    const JobOptions& options = m_owner.m_options;
    TreeAccess::Header(session).clear();
    if (m_download) {
        m_pending.emplace(m_owner.m_local.WidePath(m_entry.path));
        if (!*m_pending)
            return Refuse(Failure{RKERR_FILE_OPEN, 0, "the local file cannot be made"});
    } else if (!m_source.Open(m_owner.m_local.WidePath(m_entry.path).c_str(), L"rb")) {
        return Refuse(Failure{RKERR_FILE_OPEN, 0, "the local file cannot be read"});
    }
    bool taken = true;
    const auto set = [&](CURLoption option, auto value) {
        if (taken) taken = SetOption(session, option, value);
    };
    const TreeItem& source = m_entry.source;
    if (m_download) {
        const curl_write_callback writer = &Write;
        set(CURLOPT_WRITEFUNCTION, writer);
        set(CURLOPT_WRITEDATA, static_cast<void*>(this));
        set(CURLOPT_BUFFERSIZE, kDownloadBufferBytes);
        // The listing told the size, and the size that arrives is checked against it: no
        // SIZE command before each RETR.
        if (source.sizeKnown) set(CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
        // Without a listed time to the second, the server's MDTM gives the file's time.
        if (options.keepTimes && source.precision != 1) set(CURLOPT_FILETIME, 1L);
    } else {
        const curl_read_callback reader = &Read;
        set(CURLOPT_UPLOAD, 1L);
        set(CURLOPT_READFUNCTION, reader);
        set(CURLOPT_READDATA, static_cast<void*>(this));
        set(CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(source.size));
    }
    if (taken) taken = SetWholePaths(session) && SetCommandsBefore(session, m_before, m_times);
    if (m_owner.m_progress != nullptr) {
        const curl_xferinfo_callback progress = &ReportProgress;
        set(CURLOPT_NOPROGRESS, 0L);
        set(CURLOPT_XFERINFOFUNCTION, progress);
        set(CURLOPT_XFERINFODATA, static_cast<void*>(this));
    }
    if (taken) return 0;
    return Refuse(Failure{RKERR_SET_OPTION, LastCurlCode(), ""});
}

int TreeTransfers::FileRequest::Complete() {
    CURL* const handle = Handle();
    const JobOptions& options = m_owner.m_options;
    const TreeItem& source = m_entry.source;
    curl_off_t expected = source.sizeKnown ? static_cast<curl_off_t>(source.size) : -1;
    curl_off_t arrived = static_cast<curl_off_t>(m_written);
    if (m_download && expected < 0) {
        curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
    }
    if (!m_download) {
        arrived = -1;
        curl_easy_getinfo(handle, CURLINFO_SIZE_UPLOAD_T, &arrived);
    }
    if (expected >= 0 && arrived != expected) {
        return Refuse(Failure{m_failureCode, CURLE_PARTIAL_FILE,
                              "the size at the destination differs from the source's"});
    }
    if (m_download && !m_pending->Commit()) {
        return Refuse(
            Failure{m_failureCode, CURLE_WRITE_ERROR, "the file cannot be moved into place"});
    }
    m_entry.bytes = m_download ? m_written : source.size;
    if (!m_download) {
        // The file's time goes with a later request (see SetCommandsBefore): an MFMT sent
        // after STOR would be waited for while every other connection stands still.
        if (options.setRemoteTimes && source.precision != 0) {
            m_owner.m_times.push_back("*MFMT " + MfmtTime(source.time) + " " +
                                      ServerPath(options.remoteRoot + m_entry.path));
        }
        return 0;
    }
    if (!m_owner.m_options.keepTimes) return 0;
    std::int64_t time = source.time;
    if (source.precision != 1) {
        curl_off_t serverTime = -1;
        curl_easy_getinfo(handle, CURLINFO_FILETIME_T, &serverTime);
        if (serverTime < 0) return 0;  // the server did not tell: the file keeps its own
        time = serverTime;
    }
    m_owner.m_local.SetModificationTime(m_entry.path, time);
    return 0;
}

TreeTransfers::TreeTransfers(const CRFTP& origin, const LocalTree& local, const JobOptions& options,
                             MultiPerformer& performer, int connections)
    : m_origin(origin),
      m_local(local),
      m_options(options),
      m_performer(performer),
      m_progress(TreeAccess::Progress(origin)) {
    for (int i = 0; i < connections; ++i) {
        m_slots.push_back(std::make_unique<Slot>());
        m_slots.back()->index = static_cast<std::size_t>(i);
    }
}

TreeTransfers::~TreeTransfers() = default;

void TreeTransfers::Add(PlannedEntry& entry) {
    if (entry.queued) return;
    entry.queued = true;
    if (entry.source.sizeKnown) m_plannedBytes += static_cast<double>(entry.source.size);
    m_queued.push_back(&entry);
    Feed();
}

void TreeTransfers::Feed() {
    if (m_feeding) return;  // a file that failed at its start frees its slot inside the loop
    m_feeding = true;
    for (auto& slot : m_slots) {
        while (!slot->busy && !m_queued.empty() && !m_aborted) {
            PlannedEntry& entry = *m_queued.front();
            m_queued.pop_front();
            if (!slot->session) slot->session = TreeAccess::Session(m_origin, false);
            TreeAccess::SetHref(*slot->session, m_options.remoteRoot + entry.path);
            slot->busy = true;
            slot->now = 0;
            auto request = std::make_unique<FileRequest>(*this, *slot, entry, std::move(m_times));
            m_times.clear();
            FileRequest& file = *request;
            slot->request = std::move(request);
            Slot& running = *slot;
            m_performer.Add(file, [this, &running, &file](Request&) { Finished(running, file); });
        }
        // Nothing left to carry the times: a request of their own, on this free slot.
        if (!slot->busy && !m_times.empty() && !m_aborted) {
            if (!slot->session) slot->session = TreeAccess::Session(m_origin, false);
            TreeAccess::SetHref(*slot->session, m_options.remoteRoot);
            slot->busy = true;
            slot->request = std::make_unique<TimesRequest>(*slot, std::move(m_times));
            m_times.clear();
            Slot& running = *slot;
            m_performer.Add(*slot->request, [this, &running](Request&) {
                running.busy = false;
                Feed();
            });
        }
    }
    m_feeding = false;
}

void TreeTransfers::Finished(Slot& slot, FileRequest& file) {
    const PlannedEntry& entry = file.Entry();
    m_doneBytes += entry.source.sizeKnown ? static_cast<double>(entry.source.size) : 0;
    // A file that failed may not have sent the times it carried: they go with the next one.
    if (file.Result() != 0) {
        for (std::string& command : file.CarriedTimes()) m_times.push_back(std::move(command));
        file.CarriedTimes().clear();
    }
    slot.now = 0;
    slot.busy = false;
    Feed();
}

int TreeTransfers::Progress(std::size_t slot, double now) {
    m_slots[slot]->now = now;
    if (m_aborted) return 1;
    if (m_progress == nullptr) return 0;
    double done = m_doneBytes;
    for (const auto& each : m_slots) done += each->now;
    const bool download = m_options.direction == TreeDirection::Download;
    const int stop = download ? m_progress(nullptr, m_plannedBytes, done, 0, 0)
                              : m_progress(nullptr, 0, 0, m_plannedBytes, done);
    if (stop != 0) m_aborted = true;
    return stop;
}

void TreeTransfers::FailUnfinished() {
    for (PlannedEntry* entry : m_queued) {
        entry->Fail(Failure{RKERR_ABORTED, CURLE_ABORTED_BY_CALLBACK, ""});
    }
    m_queued.clear();
}

}  // namespace ftp
}  // namespace rkcurl
