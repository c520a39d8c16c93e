#include "HttpCommands.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Failure.h"
#include "LocalFiles.h"
#include "LocalTarget.h"
#include "Progress.h"
#include "Retry.h"
#include "Session.h"

namespace rktool {
namespace {

// Opens the session and sets server, HREF (path and query) and the common options.
int Open(const std::string& urlText, const CommonSettings& settings, Session& session,
         CRHTTP& http) {
    const int status = OpenSession(urlText, Protocol::Http, settings, session);
    if (status != kExitOk) return status;
    Configure(http, session);
    if (settings.followRedirects) http.SetFollowRedirects(settings.maxRedirects);
    for (const std::string& line : settings.headers) http.AddHeader(Wide(line).c_str());
    std::string href = session.url.path;
    if (!session.url.query.empty()) href += "?" + session.url.query;
    http.SetHREF(Wide(href).c_str());
    return kExitOk;
}

// Adds every -F name=value; false, with the problem printed, for a value without "=".
bool AddFields(const ParsedArguments& args, CRHTTP& http, int& status) {
    for (const std::string& field : args.Values("form")) {
        const auto eq = field.find('=');
        if (eq == std::string::npos) {
            status = ReportProblem("-F wants name=value, got \"" + field + "\"", kExitUsage);
            return false;
        }
        http.AddMultiPartField(Wide(field.substr(0, eq)).c_str(),
                               Wide(field.substr(eq + 1)).c_str());
    }
    return true;
}

int PrintResponse(CRHTTP& http) {
    std::size_t length = 0;
    http.GetResponse(nullptr, 0, length);
    std::vector<char> body(length);
    if (length != 0) http.GetResponse(body.data(), body.size(), length);
    if (!WriteStdout(body.data(), length))
        return ReportProblem("writing output failed", kExitLocalFile);
    return kExitOk;
}

}  // namespace

int RunPage(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    if (!OperandsOk(args, 1, 1, "page URL [-F name=value]...", status)) return status;
    Session session;
    CRHTTP http;
    if ((status = Open(args.operands[0], settings, session, http)) != kExitOk) return status;
    if (!AddFields(args, http, status)) return status;
    if (http.GetPage() != 0) return ReportFailure(http.GetError());
    return PrintResponse(http);
}

int RunSoap(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    if (!OperandsOk(args, 1, 1, "soap URL [--data TEXT|@FILE] [--header LINE]", status)) {
        return status;
    }
    std::string body;
    if (const auto data = args.Value("data")) {
        if (!data->empty() && (*data)[0] == '@') {
            if (!ReadLocalFile(data->substr(1), body)) {
                return ReportProblem(LocalError("cannot read", data->substr(1)), kExitLocalFile);
            }
        } else {
            body = *data;
        }
    }
    Session session;
    CRHTTP http;
    if ((status = Open(args.operands[0], settings, session, http)) != kExitOk) return status;
    // The library sends the body up to its first zero byte; no body makes the request a GET.
    http.SetSOAPPostData(body.c_str());
    if (http.GetSOAPPage() != 0) return ReportFailure(http.GetError());
    return PrintResponse(http);
}

namespace {

// The body of a get to standard output, as it arrives.
size_t WriteToStdout(char* data, size_t size, size_t count, void*) {
    const size_t bytes = size * count;
    return bytes == 0 || std::fwrite(data, 1, bytes, stdout) == bytes ? bytes : 0;
}

}  // namespace

bool IsHttpUrl(const std::string& url) {
    const auto starts = [&](const char* scheme) {
        const std::string prefix(scheme);
        if (url.size() < prefix.size()) return false;
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(url[i])) != prefix[i]) return false;
        }
        return true;
    };
    return starts("http://") || starts("https://");
}

namespace {

// get -C -: the library continues the local file in place from its size (a range request); a
// server that ignores the range fails the transfer before anything is written.
int HttpResumeOne(const std::string& path, Session& session, const CommonSettings& settings,
                  CRHTTP& http) {
    std::string error;
    if (!CheckDownloadTarget(path, true, error)) return ReportProblem(error, kExitLocalFile);
    const std::uint64_t before = LocalFileSize(path);
    const bool existed = access(path.c_str(), F_OK) == 0;
    BeginProgress(session.showProgress, session.url.LeafName(), Direction::Download,
                  static_cast<double>(before));
    const int rc = WithRetries(
        settings.retries, settings.quiet, "get",
        [&] {
            SetProgressOffset(static_cast<double>(LocalFileSize(path)));
            return http.GetFileTo(Wide(path).c_str(), 1);
        },
        [&] { return IsTransient(http.GetError(), Protocol::Http, http.GetLastResponseCode()); });
    FinishProgress();
    if (rc == oru::shared::error::RKERR_FILE_OPEN) {
        return ReportProblem(FailureText(http.GetError()) + ": cannot open " + path,
                             kExitLocalFile);
    }
    if (rc != 0) {
        // The library makes the file of a resume before it asks; nothing arrived, so nothing
        // is left behind.
        if (!existed && LocalFileSize(path) == 0) unlink(path.c_str());
        return ReportFailure(http.GetError());
    }
    const std::uint64_t after = LocalFileSize(path);
    Note(session, after == before ? path + " is complete already (" + ByteCount(after) + ")"
                                  : "saved " + ByteCount(after - before) + " more to " + path +
                                        " (" + ByteCount(after) + " in all)");
    return kExitOk;
}

}  // namespace

int HttpGetOne(const std::string& urlText, const OutputChoice& output,
               const CommonSettings& settings, const ParsedArguments* form, bool resume) {
    const char* label = form != nullptr ? "download" : "get";
    Session session;
    CRHTTP http;
    int status = Open(urlText, settings, session, http);
    if (status != kExitOk) return status;
    const auto path = ResolveOutput(output, session.url, status);
    if (!path) return status;
    if (resume) return HttpResumeOne(*path, session, settings, http);
    // A device or pipe (-o /dev/null) is written into from a spool file: renaming the finished
    // file into place would replace it.
    const bool special = !path->empty() && IsSpecialFile(*path);
    LocalTarget target;
    TempFile spool;
    std::string error;
    if (special) {
        if (!CheckDownloadTarget(*path, false, error)) return ReportProblem(error, kExitLocalFile);
        if (!spool.Make(label)) {
            return ReportProblem(LocalError("cannot make a temporary file", "in $TMPDIR"),
                                 kExitLocalFile);
        }
    } else if (!path->empty() && !target.Open(*path, error)) {
        return ReportProblem(error, kExitLocalFile);
    }
    const std::string& file = special ? spool.Path() : target.TemporaryPath();
    // A plain GET, as any web server expects; the multipart POST only when fields are given.
    const bool withForm = form != nullptr && form->Has("form");
    if (withForm && !AddFields(*form, http, status)) return status;
    http.SetPlainGet(withForm ? 0 : 1);

    BeginProgress(session.showProgress, session.url.LeafName(), Direction::Download);
    const int rc = WithRetries(
        settings.retries, settings.quiet, label,
        [&] {
            if (path->empty()) {
                http.SetWriteCallbackFunc(&WriteToStdout);
                return http.GetFile(nullptr);
            }
            return http.GetFile(Wide(file).c_str());
        },
        [&] { return IsTransient(http.GetError(), Protocol::Http, http.GetLastResponseCode()); });
    FinishProgress();
    if (rc == oru::shared::error::RKERR_FILE_OPEN) {
        return ReportProblem(FailureText(http.GetError()) + ": cannot open " + *path,
                             kExitLocalFile);
    }
    if (rc != 0) return ReportFailure(http.GetError());
    if (path->empty()) {
        if (std::fflush(stdout) != 0) return ReportProblem("writing output failed", kExitLocalFile);
        return kExitOk;
    }
    if (special && !CopyFileTo(spool.Path(), *path)) {
        return ReportProblem(LocalError("cannot write", *path), kExitLocalFile);
    }
    if (!special && !target.Commit(error)) return ReportProblem(error, kExitLocalFile);
    Note(session,
         "saved " + ByteCount(LocalFileSize(special ? spool.Path() : *path)) + " to " + *path);
    return kExitOk;
}

int RunDownload(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    if (!OperandsOk(args, 1, 1, "download URL (-o FILE | -O) [--append]", status)) return status;
    if (!OutputNamesOk(args, status)) return status;
    const auto output = args.Value("output");
    if (!output && !args.Has("remote-name")) {
        return ReportProblem("download needs -o FILE or -O", kExitUsage);
    }
    if (!args.Has("append")) {
        OutputChoice choice;
        choice.path = output;
        choice.remoteName = !output;
        return HttpGetOne(args.operands[0], choice, settings, &args);
    }
    // --append adds to the file in place; there is nothing to keep safe but what it had.
    Session session;
    CRHTTP http;
    if ((status = Open(args.operands[0], settings, session, http)) != kExitOk) return status;
    const auto path = ResolveOutput({output, !output}, session.url, status);
    if (!path) return status;
    const bool withForm = args.Has("form");
    if (withForm && !AddFields(args, http, status)) return status;
    http.SetPlainGet(withForm ? 0 : 1);
    BeginProgress(session.showProgress, session.url.LeafName(), Direction::Download);
    std::uint64_t size = 0;
    const int rc = http.GetBulkFile(Wide(*path).c_str(), size);
    FinishProgress();
    if (rc == oru::shared::error::RKERR_FILE_OPEN) {
        return ReportProblem(FailureText(http.GetError()) + ": cannot open " + *path,
                             kExitLocalFile);
    }
    if (rc != 0) return ReportFailure(http.GetError());
    Note(session, "appended " + std::to_string(size) + " bytes to " + *path);
    return kExitOk;
}

int RunUpload(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    if (!OperandsOk(args, 2, 2, "upload URL FILE [--field NAME] [-F name=value]...", status)) {
        return status;
    }
    const std::string& local = args.operands[1];
    std::string error;
    if (!CheckUploadSource(local, error)) return ReportProblem(error, kExitLocalFile);
    Session session;
    CRHTTP http;
    if ((status = Open(args.operands[0], settings, session, http)) != kExitOk) return status;
    if (!AddFields(args, http, status)) return status;
    const std::string field = args.Value("field").value_or("");
    BeginProgress(session.showProgress, BaseName(local), Direction::Upload);
    const int rc = http.PostFile(Wide(local).c_str(), Wide(field).c_str());
    FinishProgress();
    if (rc != 0) return ReportFailure(http.GetError());
    return PrintResponse(http);
}

int RunPostBuffer(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    if (!OperandsOk(args, 1, 1, "post-buffer URL [-F name=value]... < DATA", status)) return status;
    std::string data;
    if (!ReadLocalFile("-", data))
        return ReportProblem("cannot read standard input", kExitLocalFile);
    if (data.size() > static_cast<std::size_t>(INT_MAX)) {
        return ReportProblem("standard input is larger than 2 GiB", kExitUsage);
    }
    Session session;
    CRHTTP http;
    if ((status = Open(args.operands[0], settings, session, http)) != kExitOk) return status;
    if (!AddFields(args, http, status)) return status;
    BeginProgress(session.showProgress, "standard input", Direction::Upload);
    const int rc = http.PostBuffer(reinterpret_cast<const unsigned char*>(data.data()),
                                   static_cast<int>(data.size()));
    FinishProgress();
    if (rc != 0) return ReportFailure(http.GetError());
    return PrintResponse(http);
}

int RunBuffer(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    if (!OperandsOk(args, 1, 1, "buffer URL --max BYTES", status)) return status;
    const auto maxText = args.Value("max");
    if (!maxText) return ReportProblem("buffer needs --max BYTES", kExitUsage);
    char* end = nullptr;
    errno = 0;
    const unsigned long long max = std::strtoull(maxText->c_str(), &end, 10);
    if (maxText->empty() || *end != '\0' || errno != 0 || (*maxText)[0] == '-' ||
        max > (1ULL << 31)) {
        return ReportProblem("--max wants a byte count up to 2 GiB, got \"" + *maxText + "\"",
                             kExitUsage);
    }
    Session session;
    CRHTTP http;
    if ((status = Open(args.operands[0], settings, session, http)) != kExitOk) return status;
    if (!AddFields(args, http, status)) return status;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(max));
    std::uint64_t received = 0;
    BeginProgress(session.showProgress, session.url.LeafName(), Direction::Download);
    const int rc = http.GetBuffer(max, buffer.data(), received);
    FinishProgress();
    if (rc != 0) return ReportFailure(http.GetError());
    if (!WriteStdout(reinterpret_cast<const char*>(buffer.data()), received)) {
        return ReportProblem("writing output failed", kExitLocalFile);
    }
    return kExitOk;
}

}  // namespace rktool
