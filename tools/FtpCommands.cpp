#include "FtpCommands.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "Failure.h"
#include "FtpGet.h"
#include "HttpCommands.h"
#include "Listing.h"
#include "LocalFiles.h"
#include "Progress.h"
#include "Retry.h"
#include "Session.h"
#include "Signals.h"
#include "TerminalText.h"

namespace rktool {
namespace {

// The entries of the directory the client's HREF names; returns 0, or the library's code.
int ReadListing(CRFTP& ftp, std::vector<ListEntry>& entries) {
    WIN32_FIND_DATAW data{};
    int rc = ftp.FindFirstFileW(data);
    while (rc == 0) {
        ListEntry entry = MakeListEntry(data, ftp.FindEntryIsLink());
        if (entry.name != "." && entry.name != "..") entries.push_back(std::move(entry));
        rc = ftp.FindNextFileW(data);
    }
    return rc == -1 ? 0 : rc;
}

// Puts the session in the parent directory of the URL's path with a handle on it, so that the
// command operations can name the leaf relative to it.
int EnterParent(CRFTP& ftp, const Session& session) {
    ftp.SetHREF(Wide(DecodePath(session.url.ParentPath())).c_str());
    return ftp.Connect();
}

bool NeedsLeaf(const Session& session, int& status) {
    if (!session.url.LeafName().empty()) return true;
    status =
        ReportProblem("the URL names no file or directory: " + DisplayUrl(session.url), kExitUsage);
    return false;
}

// How an FTP command starts: its operands, which of them is the URL, whether the URL must
// name a file or directory rather than the server's root.
struct CommandShape {
    std::size_t minOperands;
    std::size_t maxOperands;
    const char* usage;
    std::size_t urlOperand;
    bool needsLeaf;
};

// Checks the operands, opens the session on the URL and configures the client for it. False,
// with the exit status set, when the command cannot go on.
bool StartFtp(const ParsedArguments& args, const CommonSettings& settings,
              const CommandShape& shape, Session& session, CRFTP& ftp, int& status) {
    if (!OperandsOk(args, shape.minOperands, shape.maxOperands, shape.usage, status)) return false;
    status = OpenSession(args.operands[shape.urlOperand], Protocol::Ftp, settings, session);
    if (status != kExitOk) return false;
    if (shape.needsLeaf && !NeedsLeaf(session, status)) return false;
    Configure(ftp, session);
    return true;
}

}  // namespace

int RunLs(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    Session session;
    CRFTP ftp;
    if (!StartFtp(args, settings, {1, 1, "ls URL [--long|--json] [--mlsd] [-a]", 0, false}, session,
                  ftp, status)) {
        return status;
    }
    if (args.Has("mlsd")) ftp.SetUseMlsd(1);
    if (args.Has("all")) ftp.SetListHidden(1);
    ftp.SetHREF(Wide(DecodePath(session.url.DirectoryPath())).c_str());
    std::vector<ListEntry> entries;
    if (ReadListing(ftp, entries) != 0) return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
    if (args.Has("mlsd") && !ftp.FindListingIsMachine()) {
        Note(session,
             "the server refused MLSD: listed with LIST, times and sizes as it prints them");
    }
    // Names reach a terminal escaped: a server's name must not drive the terminal.
    if (!args.Has("json") && IsTerminal(fileno(stdout))) {
        for (ListEntry& entry : entries) entry.name = EscapeControls(entry.name);
    }
    std::string out;
    if (args.Has("json")) {
        out = FormatJson(entries);
    } else if (args.Has("long")) {
        out = FormatLong(entries);
    } else {
        out = FormatNames(entries);
    }
    if (!WriteStdout(out.data(), out.size()))
        return ReportProblem("writing output failed", kExitLocalFile);
    // Said even under --quiet: a listing that leaves entries out must not pass for a whole one.
    const std::string unshown = UnshownReport(UnshownEntries(ftp.FindRejectedLines()));
    if (!unshown.empty()) std::fprintf(stderr, "rkcurl: ls: %s\n", unshown.c_str());
    return kExitOk;
}

int RunGet(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    if (!OperandsOk(args, 1, static_cast<std::size_t>(-1), "get URL... [-o FILE]... [-O] [-C -]",
                    status)) {
        return status;
    }
    const std::vector<OutputChoice> outputs = OutputChoices(args, status);
    if (status != kExitOk) return status;
    bool resume = false;
    if (!ReadResume(args, resume, status)) return status;
    // A URL without a scheme is guessed at as curl does, so that "get example.com/f" asks
    // an HTTP server rather than waiting for an FTP greeting that never comes.
    std::vector<std::string> urls;
    for (const std::string& operand : args.operands) urls.push_back(WithGuessedScheme(operand));
    // Every URL is checked before anything is fetched: a resume needs a local file to continue.
    for (std::size_t i = 0; resume && i < outputs.size(); ++i) {
        if (!outputs[i].remoteName && (!outputs[i].path || *outputs[i].path == "-")) {
            return ReportProblem("-C - needs a local file to continue (-o FILE or -O)", kExitUsage);
        }
    }
    int result = kExitOk;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::string& url = urls[i];
        status = IsHttpUrl(url) ? HttpGetOne(url, outputs[i], settings, nullptr, resume)
                                : FtpGetOne(url, outputs[i], settings, resume);
        if (result == kExitOk) result = status;
        if (status == kExitInterrupted) break;
    }
    return result;
}

namespace {

// Standard input copied into a temporary file, for put -: the library uploads files.
bool CopyStdin(TempFile& copy) {
    if (!copy.Make("stdin")) return false;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(copy.Path().c_str(), "wb"),
                                                              &std::fclose);
    return out && CopyStream(stdin, out.get());
}

int PutOne(const std::string& local, const std::string& urlText, const CommonSettings& settings,
           bool resume) {
    Session session;
    int status = OpenSession(urlText, Protocol::Ftp, settings, session);
    if (status != kExitOk) return status;
    // A URL that ends in "/" names a directory: the file keeps its own name there.
    std::string target = session.url.path;
    if (target.back() == '/') {
        if (local == "-") {
            return ReportProblem("put - needs a URL that names the remote file", kExitUsage);
        }
        target += EncodeSegment(BaseName(local));
        session.url.path = target;
    }
    TempFile input;
    if (local == "-" && !CopyStdin(input)) {
        if (Interrupted()) return ReportProblem("interrupted", kExitInterrupted);
        return ReportProblem("cannot read standard input", kExitLocalFile);
    }
    const std::string& source = local == "-" ? input.Path() : local;
    CRFTP ftp;
    Configure(ftp, session);
    ftp.SetHREF(Wide(DecodePath(target)).c_str());
    BeginProgress(session.showProgress, session.url.LeafName(), Direction::Upload);
    const int rc = WithRetries(
        settings.retries, settings.quiet, "put",
        [&, tries = 0]() mutable {
            if (tries++ > 0) ForgetCachedConnections(ftp, session);
            return ftp.PutFile(Wide(source).c_str(), resume ? 1 : 0);
        },
        [&] { return IsTransient(ftp.GetError(), Protocol::Ftp, ftp.GetLastResponseCode()); });
    FinishProgress();
    if (rc != 0) return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
    Note(session, std::string(resume ? "uploaded the rest of " : "uploaded ") +
                      (local == "-" ? std::string("standard input") : local) + " to " +
                      DisplayUrl(session.url));
    return kExitOk;
}

}  // namespace

int RunPut(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    if (!OperandsOk(args, 2, static_cast<std::size_t>(-1), "put FILE... URL [-C -]", status)) {
        return status;
    }
    bool resume = false;
    if (!ReadResume(args, resume, status)) return status;
    const std::vector<std::string> locals(args.operands.begin(), args.operands.end() - 1);
    const std::string& url = args.operands.back();
    if (locals.size() > 1 && url.back() != '/') {
        return ReportProblem("put of several files needs a directory URL ending in /", kExitUsage);
    }
    // Every local file is checked before anything is sent.
    for (const std::string& local : locals) {
        if (local == "-") continue;
        std::string error;
        if (!CheckUploadSource(local, error)) return ReportProblem(error, kExitLocalFile);
    }
    int result = kExitOk;
    for (const std::string& local : locals) {
        status = PutOne(local, url, settings, resume);
        if (result == kExitOk) result = status;
        if (status == kExitInterrupted) break;
    }
    return result;
}

int RunMkdir(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    Session session;
    CRFTP ftp;
    if (!StartFtp(args, settings, {1, 1, "mkdir [-p] URL", 0, true}, session, ftp, status)) {
        return status;
    }
    if (args.Has("parents")) {
        // libcurl creates every missing directory on the way; existing ones are fine.
        if (ftp.CreateDirectoryTree(Wide(DecodePath(session.url.DirectoryPath())).c_str()) != 0) {
            return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
        }
    } else {
        // Without -p the parent must exist and the directory must not: MKD in the parent.
        if (EnterParent(ftp, session) != 0)
            return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
        if (ftp.Command({"MKD " + session.url.LeafName()}, 0) != 0) {
            return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
        }
    }
    Note(session, "created " + DisplayUrl(session.url));
    return kExitOk;
}

namespace {

int RemoveOne(const std::string& urlText, bool recursive, const CommonSettings& settings) {
    Session session;
    CRFTP ftp;
    int status = OpenSession(urlText, Protocol::Ftp, settings, session);
    if (status != kExitOk) return status;
    if (!NeedsLeaf(session, status)) return status;
    Configure(ftp, session);
    // A tree goes whole, as "rm -r" does locally: its listings ask for hidden entries too, or a
    // directory holding a dot file would survive its final RMD.
    // LIST, never MLSD: some servers show a link in MLSD as what it points to, and the walk
    // would then go through it.
    if (recursive) ftp.SetListHidden(1);
    const std::string leaf = session.url.LeafName();
    ftp.SetHREF(Wide(DecodePath(session.url.ParentPath())).c_str());
    bool directory = false;
    if (recursive) {
        // Look the entry up in its parent: a directory goes as a tree, anything else (a file,
        // a link) is deleted on its own, so the walk never follows a link.
        std::vector<ListEntry> entries;
        if (ReadListing(ftp, entries) != 0)
            return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
        const ListEntry* found = nullptr;
        for (const ListEntry& entry : entries) {
            if (entry.name == leaf) found = &entry;
        }
        if (found == nullptr) {
            return ReportProblem("no such file or directory: " + DisplayUrl(session.url),
                                 kExitFailed);
        }
        directory = found->kind == EntryKind::Directory;
    } else if (ftp.Connect() != 0) {
        return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
    }
    const int rc = directory ? ftp.RemoveDirectoryTree(Wide(leaf).c_str())
                             : ftp.DeleteFileW(Wide(leaf).c_str());
    if (rc != 0) return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
    Note(session, "removed " + DisplayUrl(session.url));
    return kExitOk;
}

}  // namespace

int RunRm(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    if (!OperandsOk(args, 1, static_cast<std::size_t>(-1), "rm [-r] URL...", status)) {
        return status;
    }
    int result = kExitOk;
    for (const std::string& url : args.operands) {
        status = RemoveOne(url, args.Has("recursive"), settings);
        if (result == kExitOk) result = status;
        if (status == kExitInterrupted) break;
    }
    return result;
}

int RunRmdir(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    Session session;
    CRFTP ftp;
    if (!StartFtp(args, settings, {1, 1, "rmdir URL", 0, true}, session, ftp, status)) {
        return status;
    }
    if (EnterParent(ftp, session) != 0) return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
    if (ftp.RemoveDirectoryW(Wide(session.url.LeafName()).c_str()) != 0) {
        return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
    }
    Note(session, "removed " + DisplayUrl(session.url));
    return kExitOk;
}

int RunPwd(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    Session session;
    CRFTP ftp;
    if (!StartFtp(args, settings, {1, 1, "pwd URL", 0, false}, session, ftp, status)) {
        return status;
    }
    ftp.SetHREF(Wide(DecodePath(session.url.DirectoryPath())).c_str());
    if (ftp.Connect() != 0) return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
    wchar_t directory[4096];
    DWORD length = sizeof directory / sizeof directory[0];
    if (ftp.GetCurrentDirectoryW(directory, &length) != 0)
        return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
    // The server names the directory: on a terminal, escaped as ls shows names.
    const std::string name = Narrow(directory);
    const std::string out = (IsTerminal(fileno(stdout)) ? EscapeControls(name) : name) + "\n";
    if (!WriteStdout(out.data(), out.size()))
        return ReportProblem("writing output failed", kExitLocalFile);
    return kExitOk;
}

int RunQuote(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    Session session;
    CRFTP ftp;
    if (!StartFtp(args, settings,
                  {2, static_cast<std::size_t>(-1), "quote [--post] URL CMD...", 0, false}, session,
                  ftp, status)) {
        return status;
    }
    ftp.SetHREF(Wide(DecodePath(session.url.DirectoryPath())).c_str());
    if (ftp.Connect() != 0) return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
    const std::vector<std::string> commands(args.operands.begin() + 1, args.operands.end());
    const int rc = ftp.Command(commands, args.Has("post") ? 1 : 0);
    // The server's replies to this exchange, whether it failed or not.
    if (!WriteStdout(ftp.GetHeaderText().data(), ftp.GetHeaderText().size())) {
        return ReportProblem("writing output failed", kExitLocalFile);
    }
    if (rc != 0) return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
    return kExitOk;
}

}  // namespace rktool
