#include "Session.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "Failure.h"
#include "PasswordPrompt.h"
#include "Progress.h"
#include "Signals.h"
#include "VerboseFilter.h"

namespace rktool {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The netrc file the settings name, for libcurl to read: --netrc-file's, else with --netrc
// ~/.netrc (when HOME is set; libcurl passes over a file that is not there). "" for none;
// nullopt, with status set, when --netrc-file names a file that cannot be read, which libcurl
// would pass over in silence.
std::optional<std::string> NetrcFile(const CommonSettings& settings, int& status) {
    if (settings.netrcFile) {
        std::string text;
        if (!ReadLocalFile(*settings.netrcFile, text)) {
            status = ReportProblem(LocalError("cannot read the netrc file", *settings.netrcFile),
                                   kExitLocalFile);
            return std::nullopt;
        }
        return *settings.netrcFile;
    }
    const char* home = std::getenv("HOME");
    if (!settings.netrc || home == nullptr || *home == '\0') return std::string();
    return std::string(home) + "/.netrc";
}

}  // namespace

std::optional<std::string> ResolveOutput(const OutputChoice& output, const UrlParts& url,
                                         int& status) {
    if (output.path) return *output.path == "-" ? std::string() : *output.path;
    if (!output.remoteName) return std::string();
    const std::string name = url.LeafName();
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        status = ReportProblem("-O finds no file name in " + DisplayUrl(url), kExitUsage);
        return std::nullopt;
    }
    return name;
}

bool OutputNamesOk(const ParsedArguments& args, int& status) {
    for (const std::string& path : args.Values("output")) {
        if (path.empty()) {
            status = ReportProblem("-o needs a file name (- for standard output)", kExitUsage);
            return false;
        }
    }
    return true;
}

std::vector<OutputChoice> OutputChoices(const ParsedArguments& args, int& status) {
    if (!OutputNamesOk(args, status)) return {};
    const std::vector<std::string>& paths = args.Values("output");
    if (paths.size() > args.operands.size()) {
        status = ReportProblem("more -o options than URLs", kExitUsage);
        return {};
    }
    std::vector<OutputChoice> choices(args.operands.size());
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i < paths.size()) choices[i].path = paths[i];
        choices[i].remoteName = args.Has("remote-name");
    }
    return choices;
}

bool OperandsOk(const ParsedArguments& args, std::size_t min, std::size_t max, const char* usage,
                int& status) {
    const std::size_t n = args.operands.size();
    if (n >= min && n <= max) return true;
    status = ReportProblem(
        std::string(n < min ? "missing operand" : "too many operands") + "; usage: rkcurl " + usage,
        kExitUsage);
    return false;
}

void Note(const Session& session, const std::string& text) {
    if (!session.settings.quiet) std::fprintf(stderr, "%s\n", text.c_str());
}

std::string LocalError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::wstring Wide(const std::string& text) {
    return oru::helper::NarStrToWideStr(text);
}
std::string Narrow(const std::wstring& text) {
    return oru::helper::WideStrToNarStr(text);
}

int OpenSession(const std::string& urlText, Protocol protocol, const CommonSettings& settings,
                Session& session) {
    std::string error;
    const auto url = ParseUrl(urlText, protocol == Protocol::Ftp ? "ftp" : "http", error);
    // Not echoed: a URL that did not parse may still hold a password.
    if (!url) return ReportProblem("bad URL: " + error, kExitUsage);
    if (url->IsFtp() != (protocol == Protocol::Ftp)) {
        return ReportProblem(
            std::string("this command needs an ") +
                (protocol == Protocol::Ftp ? "ftp:// or ftps://" : "http:// or https://") +
                " URL, not " + DisplayUrl(*url),
            kExitUsage);
    }
    session.settings = settings;
    session.url = *url;

    // -u wins over the user and password written in the URL.
    std::optional<std::string> user = settings.user ? settings.user : url->user;
    std::optional<std::string> password = settings.user ? settings.password : url->password;
    if (!user) {
        int status = kExitOk;
        const auto netrcFile = NetrcFile(settings, status);
        if (!netrcFile) return status;
        session.netrcFile = *netrcFile;
    }
    if (user) {
        if (!password) {
            password = PromptPassword("Password for " + *user + "@" + url->server + ": ");
            if (Interrupted()) return ReportProblem("interrupted", kExitInterrupted);
            if (!password) {
                return ReportProblem(
                    "a password is needed for " + *user +
                        " and there is no terminal to ask on; use -u USER:PASSWORD",
                    kExitUsage);
            }
        }
        session.authenticate = true;
        session.user = *user;
        session.password = *password;
    }
    session.showProgress = settings.forceProgress ||
                           (!settings.quiet && !settings.noProgress && isatty(STDERR_FILENO) != 0);
    return kExitOk;
}

void Configure(CConnection& client, const Session& session) {
    client.SetServer(Wide(session.url.server).c_str());
    if (session.authenticate) {
        client.SetNeedAuthentication(1);
        client.SetUserName(Wide(session.user).c_str());
        client.SetPassword(Wide(session.password).c_str());
    }
    const CommonSettings& settings = session.settings;
    // As curl reads them: ftps:// is FTPS from the first byte (port 990), --secure on an
    // ftp:// URL upgrades the session (AUTH TLS).
    const bool implicitTls = session.url.scheme == "ftps";
    const bool tls = settings.secure || session.url.IsSecureScheme();
    client.SetSecure(tls && !implicitTls ? 1 : 0);
    if (auto* ftp = dynamic_cast<CRFTP*>(&client)) {
        if (implicitTls) ftp->SetImplicitTls(1);
        if (settings.ftpPort) ftp->SetActivePort(Wide(*settings.ftpPort).c_str());
        if (settings.disableEpsv) ftp->SetUseEpsv(0);
        if (settings.disableEprt) ftp->SetUseEprt(0);
        // TLS 1.3 servers that send session tickets on data connections (vsftpd) lose the end
        // of uploads that close before the ticket arrives; TLS 1.2 has no such tickets.
        if (tls && !settings.tlsMax) ftp->SetTlsVersions(0, kFtpsTlsMax);
    }
    if (settings.tlsMax) client.SetTlsVersions(0, *settings.tlsMax);
    // The trace comes through the masking callback, never straight to standard error: a
    // proxy URL or a header may carry credentials too.
    if (settings.verbose) client.SetDebugCallback(&WriteVerboseTrace, nullptr);
    if (!session.netrcFile.empty()) client.SetNetrcFile(Wide(session.netrcFile).c_str());
    client.SetReuseConnections(session.settings.reuse ? 1 : 0);
    client.SetProgressCallback(&ProgressCallback);

    if (settings.connectTimeoutMs > 0) client.SetConnectTimeout(settings.connectTimeoutMs);
    if (settings.maxTimeMs > 0) client.SetTimeout(settings.maxTimeMs);
    if (settings.speedLimit > 0) client.SetLowSpeedLimit(settings.speedLimit, settings.speedTime);
    // A person's tool checks certificates; -k is the explicit way out.
    client.SetVerifyPeer(settings.insecure ? 0 : 1);
    if (settings.caFile) client.SetCACertificateFile(Wide(*settings.caFile).c_str());
    if (settings.proxy) client.SetProxy(Wide(*settings.proxy).c_str());
    // libcurl matches the hosts and their domains, and then ignores the proxy variables too.
    if (settings.noProxy) client.SetNoProxy(Wide(*settings.noProxy).c_str());
}

void ForgetCachedConnections(CConnection& client, const Session& session) {
    client.SetReuseConnections(0);
    client.SetReuseConnections(session.settings.reuse ? 1 : 0);
}

bool ReadLocalFile(const std::string& path, std::string& data) {
    File file(path == "-" ? nullptr : std::fopen(path.c_str(), "rb"));
    std::FILE* in = path == "-" ? stdin : file.get();
    if (in == nullptr) return false;
    data.clear();
    char chunk[65536];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, in);
        data.append(chunk, n);
        if (n < sizeof chunk) break;
    }
    return std::ferror(in) == 0;
}

bool WriteLocalFile(const std::string& path, const char* data, std::size_t size) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    if (size != 0 && std::fwrite(data, 1, size, file.get()) != size) return false;
    return std::fclose(file.release()) == 0;
}

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

bool WriteStdout(const char* data, std::size_t size) {
    if (size != 0 && std::fwrite(data, 1, size, stdout) != size) return false;
    return std::fflush(stdout) == 0;
}

}  // namespace rktool
