#include "FtpGet.h"

#include <unistd.h>

#include <cstdio>
#include <memory>

#include "Failure.h"
#include "Progress.h"
#include "Retry.h"
#include "TempFile.h"

namespace rktool {
namespace {

using oru::shared::error::RKERR_FILE_OPEN;

constexpr int kCurlWriteError = 23;

// The library's word that the local side failed: the file could not be opened or made, or
// writing, flushing or moving it into place went wrong.
bool LocalSideFailed(int rc, const ToolFtp& ftp) {
    return !Interrupted() && (rc == RKERR_FILE_OPEN || ftp.Error().whatEx() == kCurlWriteError);
}

// The note after a download into a file.
std::string SavedNote(const std::string& path, bool resume, std::uint64_t before,
                      std::uint64_t after) {
    if (!resume || before == 0) return "saved " + std::to_string(after) + " bytes to " + path;
    if (after == before) {
        return path + " is complete already (" + std::to_string(after) + " bytes)";
    }
    return "saved " + std::to_string(after - before) + " more bytes to " + path + " (" +
           std::to_string(after) + " in all)";
}

// Copies the spooled download to standard output.
bool SendToStdout(const std::string& spool) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(spool.c_str(), "rb"),
                                                             &std::fclose);
    return in && CopyStream(in.get(), stdout);
}

}  // namespace

bool ReadResume(const ParsedArguments& args, bool& resume, int& status) {
    const auto value = args.Value("continue-at");
    resume = value.has_value();
    if (!resume || *value == "-") return true;
    status = ReportProblem(
        "-C takes only - (go on from the size already there), got \"" + *value + "\"", kExitUsage);
    return false;
}

int FtpGetOne(const std::string& urlText, const OutputChoice& output,
              const CommonSettings& settings, bool resume) {
    Session session;
    int status = OpenSession(urlText, Protocol::Ftp, settings, session);
    if (status != kExitOk) return status;
    const auto path = ResolveOutput(output, session.url, status);
    if (!path) return status;
    const bool toStdout = path->empty();
    TempFile spool;
    std::string error;
    if (toStdout) {
        if (!spool.Make("get")) {
            return ReportProblem(LocalError("cannot make a temporary file", "in $TMPDIR"),
                                 kExitLocalFile);
        }
    } else if (!CheckDownloadTarget(*path, resume, error)) {
        return ReportProblem(error, kExitLocalFile);
    }
    // The library replaces the spool file too: it writes beside it and renames when complete.
    const std::string& local = toStdout ? spool.Path() : *path;
    const std::uint64_t before = resume ? LocalFileSize(local) : 0;
    const bool existed = access(local.c_str(), F_OK) == 0;

    ToolFtp ftp;
    Configure(ftp, session);
    ftp.SetHREF(Wide(DecodePath(session.url.path)).c_str());
    BeginProgress(session.showProgress, session.url.LeafName(), Direction::Download);
    const int rc = WithRetries(
        settings.retries, settings.quiet, "get",
        [&] { return ftp.GetFileTo(Wide(local).c_str(), resume ? 1 : 0); },
        [&] {
            return !LocalSideFailed(ftp.Error().what(), ftp) &&
                   IsTransient(ftp.Error(), ftp.Replies());
        });
    FinishProgress();
    if (rc != 0 && LocalSideFailed(rc, ftp)) {
        const std::string what = toStdout ? "a temporary file for standard output" : *path;
        return ReportProblem("cannot write " + what + " (" + FailureText(ftp.Error()) + ")",
                             kExitLocalFile);
    }
    if (rc != 0) {
        // The library makes the file of a resume before it asks; nothing arrived, so nothing
        // is left behind.
        if (resume && !existed && LocalFileSize(local) == 0) unlink(local.c_str());
        return ReportFailure(ftp.Error(), ftp.Replies());
    }
    if (toStdout) {
        return SendToStdout(spool.Path()) ? kExitOk
                                          : ReportProblem("writing output failed", kExitLocalFile);
    }
    Note(session, SavedNote(*path, resume, before, LocalFileSize(*path)));
    return kExitOk;
}

}  // namespace rktool
