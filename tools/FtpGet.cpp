#include "FtpGet.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "Failure.h"
#include "LocalFiles.h"
#include "LocalTarget.h"
#include "PrivateDirectory.h"
#include "Progress.h"
#include "Retry.h"
#include "Signals.h"

namespace rktool {
namespace {

using oru::shared::error::RKERR_FILE_OPEN;

constexpr int kCurlWriteError = 23;

// The library's word that the local side failed: the file could not be opened or made, or
// writing, flushing or moving it into place went wrong.
bool LocalSideFailed(int rc, const CRFTP& ftp) {
    return !Interrupted() && (rc == RKERR_FILE_OPEN || ftp.GetError().whatEx() == kCurlWriteError);
}

// The note after a download into a file.
std::string SavedNote(const std::string& path, bool resume, std::uint64_t before,
                      std::uint64_t after) {
    if (!resume || before == 0) return "saved " + ByteCount(after) + " to " + path;
    if (after == before) return path + " is complete already (" + ByteCount(after) + ")";
    return "saved " + ByteCount(after - before) + " more to " + path + " (" + ByteCount(after) +
           " in all)";
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
    std::string error;
    if (!toStdout && !CheckDownloadTarget(*path, resume, error)) {
        return ReportProblem(error, kExitLocalFile);
    }
    // Standard output and a device or pipe are fed from a spool file once it is complete; the
    // library would move its finished file over a device.
    const bool spooled = toStdout || (!resume && IsSpecialFile(*path));
    TempFile spool;
    if (spooled && !spool.Make("get")) {
        return ReportProblem(LocalError("cannot make a temporary file", "in $TMPDIR"),
                             kExitLocalFile);
    }
    // A whole download into a file goes to a private directory beside it first: the library's
    // part file lives there, out of other users' reach and removed on a signal, and the finished
    // file takes the target's mode before it replaces the target.
    PrivateDirectory beside;
    std::string local = spooled ? spool.Path() : *path;
    if (!spooled && !resume) {
        if (!beside.Make(TemporaryNameBeside(*path))) {
            return ReportProblem(LocalError("cannot write", *path), kExitLocalFile);
        }
        local = beside.Path() + "/" + BaseName(*path);
    }
    const std::uint64_t before = resume ? LocalFileSize(local) : 0;
    const bool existed = access(local.c_str(), F_OK) == 0;

    CRFTP ftp;
    Configure(ftp, session);
    ftp.SetHREF(Wide(DecodePath(session.url.path)).c_str());
    BeginProgress(session.showProgress, session.url.LeafName(), Direction::Download,
                  static_cast<double>(before));
    std::optional<OwnerOnlyFiles> privateFiles;
    if (!resume) privateFiles.emplace();  // a resume appends to the user's own file
    const int rc = WithRetries(
        settings.retries, settings.quiet, "get",
        [&, tries = 0]() mutable {
            if (tries++ > 0) ForgetCachedConnections(ftp, session);
            if (resume) SetProgressOffset(static_cast<double>(LocalFileSize(local)));
            return ftp.GetFileTo(Wide(local).c_str(), resume ? 1 : 0);
        },
        [&] {
            return !LocalSideFailed(ftp.GetError().what(), ftp) &&
                   IsTransient(ftp.GetError(), Protocol::Ftp, ftp.GetLastResponseCode());
        });
    privateFiles.reset();
    FinishProgress();
    if (rc != 0 && LocalSideFailed(rc, ftp)) {
        const std::string what = spooled ? "a temporary file in $TMPDIR" : *path;
        return ReportProblem("cannot write " + what + " (" + FailureText(ftp.GetError()) + ")",
                             kExitLocalFile);
    }
    if (rc != 0) {
        // The library makes the file of a resume before it asks; nothing arrived, so nothing
        // is left behind.
        if (resume && !existed && LocalFileSize(local) == 0) unlink(local.c_str());
        return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
    }
    if (!spooled && !resume) {
        KeepMode(local, *path);
        if (std::rename(local.c_str(), path->c_str()) != 0) {
            return ReportProblem(LocalError("cannot write", *path), kExitLocalFile);
        }
    }
    if (spooled && !CopyFileTo(spool.Path(), *path)) {
        return ReportProblem(toStdout ? "writing output failed" : LocalError("cannot write", *path),
                             kExitLocalFile);
    }
    if (toStdout) return kExitOk;
    Note(session, SavedNote(*path, resume, before, LocalFileSize(spooled ? local : *path)));
    return kExitOk;
}

}  // namespace rktool
