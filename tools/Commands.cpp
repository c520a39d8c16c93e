#include "Commands.h"

#include <cstdio>
#include <memory>

#include "Failure.h"
#include "FtpCommands.h"
#include "HttpCommands.h"
#include "LogSink.h"
#include "Mirror.h"
#include "Version.h"

namespace rktool {
namespace {

const char* const kCommonHelp =
    "Common options:\n"
    "  -u, --user USER[:PASSWORD]  log in as USER; without a password rkcurl asks for it on\n"
    "                              the terminal, without echo. USER:PASSWORD@ in the URL works\n"
    "                              too; -u wins over it\n"
    "  -n, --netrc                 take user and password for the host from ~/.netrc when\n"
    "                              neither -u nor the URL gives a user\n"
    "      --netrc-file FILE       the same from FILE\n"
    "      --secure                FTPS (TLS for the whole FTP session, asked for with AUTH TLS)\n"
    "                              or HTTPS; https:// URLs imply it, ftps:// URLs are FTPS\n"
    "                              from the first byte (implicit TLS, port 990). The server's\n"
    "                              certificate and host name are verified\n"
    "      --tls-max VERSION       the highest TLS version: 1.0, 1.1, 1.2, 1.3 or default\n"
    "                              (FTPS: 1.2 unless given, as TLS 1.3 session tickets cut\n"
    "                              uploads to some servers short)\n"
    "  -k, --insecure              accept ANY server certificate: neither the certificate nor\n"
    "                              the host name is verified\n"
    "      --cacert FILE           verify against the CA certificates in FILE (PEM)\n"
    "      --connect-timeout SECS  give up a connection attempt after SECS seconds\n"
    "  -m, --max-time SECS         give up a whole request after SECS seconds\n"
    "  -Y, --speed-limit BYTES     give up a transfer slower than BYTES a second for\n"
    "  -y, --speed-time SECS       SECS seconds (default 30; alone: 1 byte a second)\n"
    "      --retry N               try again up to N times after a transient failure (refused\n"
    "                              or timed-out connection, FTP 4xx or 522 reply, HTTP 5xx),\n"
    "                              waiting 1 s, 2 s, 4 s... (at most 10 s) in between; FTP\n"
    "                              retries open a new connection\n"
    "  -P, --ftp-port ADDR         FTP: active mode, the server connects to ADDR (an address,\n"
    "                              host name or interface, optionally :PORT or :LOW-HIGH; - for\n"
    "                              the address of the control connection)\n"
    "      --disable-epsv          FTP: passive mode with PASV only\n"
    "      --disable-eprt          FTP: active mode with PORT only\n"
    "  -x, --proxy URL             go through the proxy at URL\n"
    "      --noproxy HOSTS         no proxy for these comma-separated hosts and their domains;\n"
    "                              * for all, the proxy environment variables included\n"
    "  -L, --location              HTTP: follow redirects\n"
    "      --max-redirs N          with -L at most N of them (default 50; 0: none followed,\n"
    "                              the redirect itself is the answer)\n"
    "  -H, --header LINE           HTTP: add the request header line \"Name: value\"\n"
    "  -v, --verbose               libcurl's trace on standard error (the password masked)\n"
    "      --log FILE|-            the library's log records, one a line (severity, file:line,\n"
    "                              text), into FILE, or standard error for -\n"
    "  -#, --progress-bar          draw the progress line even when standard error is not a\n"
    "      --progress              terminal (by default only on a terminal)\n"
    "      --no-progress           never draw it\n"
    "  -s, --silent, -q, --quiet   no progress line and no notes: only data and errors\n"
    "      --no-reuse              a new connection for every request (default: reuse one)\n"
    "  -h, --help                  this help\n"
    "  -V, --version               the versions of rkcurl, the library and libcurl\n";

const char* const kExitHelp =
    "Exit status: 0 done; 1 the library or the server reported a failure (one line on\n"
    "standard error: the library's code and name, libcurl's code and message); 2 usage error\n"
    "or malformed URL; 3 a local file could not be read or written; 130 stopped by Ctrl-C;\n"
    "128+N ended by signal N (a second Ctrl-C, SIGTERM, SIGHUP, SIGPIPE), temporary files\n"
    "removed.\n";

std::vector<Command> MakeCommands() {
    const std::vector<OptionSpec> none;
    const OptionSpec output{"output", 'o', true};
    const OptionSpec form{"form", 'F', true};
    const OptionSpec remoteName{"remote-name", 'O', false};
    const OptionSpec resume{"continue-at", 'C', true};
    return {
        {"ls",
         "URL [--long | --json] [--mlsd] [-a]",
         "list an FTP directory",
         "Lists the directory the URL names (a final / is optional). By default one name a\n"
         "line, directories with a final /. --long prints kind (file, dir, link), size in\n"
         "bytes, modification time as the server's clock reads it, and name. --json prints\n"
         "an array of {\"name\", \"kind\", \"size\", \"modified\"} objects.\n"
         "      --mlsd  list with MLSD: exact sizes, times in UTC to the second, types the\n"
         "              server states; a server that refuses MLSD is listed with LIST\n"
         "  -a, --all   hidden entries too (names starting with .): LIST -a\n"
         "On a terminal, control characters in names are shown escaped as ls -b does (\\033).\n"
         "Entries the listing could not show (names longer than 259 characters, lines in no\n"
         "listing form) are counted and quoted on standard error; the status stays 0.\n",
         {{"long", 'l', false}, {"json", 0, false}, {"mlsd", 0, false}, {"all", 'a', false}},
         RunLs},
        {"get",
         "URL... [-o FILE]... [-O] [-C -]",
         "download files (FTP, or HTTP with a plain GET)",
         "Downloads the file each URL names: to the n-th -o FILE for the n-th URL, with -O to\n"
         "a file named after the URL's last segment, else to standard output (also -o -). A\n"
         "file is written under a temporary name beside it and renamed once complete, so a\n"
         "failed download leaves an existing file untouched. http:// and https:// URLs are\n"
         "fetched with a plain GET. A URL without a scheme is FTP when its host name starts\n"
         "with \"ftp.\", else HTTP, as for curl.\n"
         "  -C -, --continue-at -  continue a partial local file; only the part it lacks is\n"
         "                         fetched and appended (HTTP: a range request, which a\n"
         "                         server that ignores ranges fails), a complete file fetches\n"
         "                         nothing, and a failure keeps what arrived for the next try\n",
         {output, remoteName, resume},
         RunGet},
        {"put",
         "FILE... URL [-C -]",
         "upload files over FTP",
         "Uploads each local FILE to the URL; - reads standard input (the URL then names the\n"
         "remote file). A URL ending in / names a directory: each file keeps its name there;\n"
         "several files need one. The remote directory must exist (see mkdir -p).\n"
         "  -C -, --continue-at -  continue a partial remote file: the server's size of it is\n"
         "                         skipped and the rest appended (APPE); a missing one is sent\n"
         "                         whole, a complete one not at all\n",
         {resume},
         RunPut},
        {"mkdir",
         "[-p] URL",
         "create an FTP directory",
         "Creates the directory the URL names. Its parent must exist, and the directory\n"
         "must not. With -p every missing directory along the path is created and an\n"
         "existing one is no error.\n",
         {{"parents", 'p', false}},
         RunMkdir},
        {"rm",
         "[-r] URL...",
         "delete FTP files, or whole trees with -r",
         "Deletes the file each URL names. With -r a directory is removed with everything\n"
         "below it, depth first; a link is deleted itself and never followed. The listings of\n"
         "-r always ask for hidden entries (LIST -a), so dot files go too.\n",
         {{"recursive", 'r', false}},
         RunRm},
        {"rmdir", "URL", "remove an empty FTP directory",
         "Removes the directory the URL names; the server refuses one that is not empty.\n", none,
         RunRmdir},
        {"pwd", "URL", "show the session's directory",
         "Connects to the directory the URL names, checks that the session answers PWD and\n"
         "prints the directory the session stands in, with a final /.\n",
         none, RunPwd},
        {"quote",
         "[--post] URL CMD...",
         "send raw FTP commands",
         "Connects to the directory the URL names and sends each CMD (one FTP command each,\n"
         "for example \"SITE CHMOD 644 f\", or \"TYPE I\" \"SIZE f\": many servers tell sizes\n"
         "in binary mode only) before the transfer, or after it with --post. Prints the\n"
         "server's reply lines. A reply of 400 or more is a failure.\n",
         {{"post", 0, false}},
         RunQuote},
        {"mirror",
         "[-R] [-P N] [--delete] [--dry-run] [--only-missing] [--checksum] [--no-times] URL DIR",
         "mirror a directory tree down, or up with -R",
         "Makes DIR a copy of the FTP directory the URL names (with -R: the directory the URL\n"
         "names a copy of DIR), over up to N connections at once. A file is transferred when\n"
         "it is missing at the destination or differs in size or time; it counts only once\n"
         "its size there is right, and a download replaces its file only when complete.\n"
         "Links are not followed; listed names that are not safe local names are refused.\n"
         "Prints a summary, and one line per failed or refused entry.\n"
         "  -R, --reverse      upload: DIR to the URL\n"
         "  -P, --parallel N   connections at once, 1 to 16 (default 4); a server that\n"
         "                     refuses some is used with as many as it accepts\n"
         "      --delete       delete at the destination what the source lacks\n"
         "      --dry-run      print the plan (copy, update, mkdir, delete); change nothing\n"
         "      --only-missing transfer only what the destination lacks\n"
         "      --checksum     compare files of equal size by the server's hash (HASH,\n"
         "                     XSHA256, XSHA1, XMD5 or XCRC)\n"
         "      --no-times     leave modification times as the transfer makes them\n",
         {{"reverse", 'R', false},
          {"parallel", 'P', true},
          {"delete", 0, false},
          {"dry-run", 0, false},
          {"only-missing", 0, false},
          {"checksum", 0, false},
          {"no-times", 0, false}},
         RunMirror},
        {"page",
         "URL [-F name=value]...",
         "fetch a page as a multipart form POST",
         "Posts a multipart form to the URL (a part submit=send, then each -F field, sorted\n"
         "by name) and prints the response body.\n",
         {form},
         RunPage},
        {"soap",
         "URL [--data TEXT|@FILE] [-H LINE]...",
         "make a SOAP call",
         "Posts TEXT, or the contents of FILE, as the request body (up to its first zero\n"
         "byte) with each header line LINE added (\"SOAPAction: urn:x\"); without --data the\n"
         "request is a GET. Redirects are followed. Prints the response body.\n",
         {{"data", 'd', true}},
         RunSoap},
        {"download",
         "URL (-o FILE | -O) [--append] [-F name=value]...",
         "download to a file",
         "Downloads the response body of the URL into FILE (-O: named after the URL), which\n"
         "is replaced only once the download is complete, or with --append adds to its end.\n"
         "The request is a plain GET; with -F fields it is the multipart form POST of page.\n",
         {output, {"append", 'a', false}, form, remoteName},
         RunDownload},
        {"upload",
         "URL FILE [--field NAME] [-F name=value]...",
         "upload a file as a form part",
         "Posts FILE as the file part NAME (default FileField) of a multipart form, with\n"
         "submit=send and each -F field, and prints the response body.\n",
         {{"field", 0, true}, form},
         RunUpload},
        {"post-buffer",
         "URL [-F name=value]... < DATA",
         "upload standard input as a form part",
         "Reads standard input and posts it as the file part file_buffer of a multipart\n"
         "form, with submit=send and each -F field; prints the response body.\n",
         {form},
         RunPostBuffer},
        {"buffer",
         "URL --max BYTES [-F name=value]...",
         "download into a bounded buffer",
         "Downloads the response body into a buffer of BYTES bytes and writes it to standard\n"
         "output. A body larger than BYTES fails (libcurl's write error, 23).\n",
         {{"max", 0, true}, form},
         RunBuffer},
    };
}

// Common options may come before the command too: "rkcurl -v ls URL" is "rkcurl ls -v URL".
std::vector<std::string> CommandFirst(const std::vector<std::string>& args) {
    std::size_t i = 0;
    while (i < args.size() && args[i].size() > 1 && args[i][0] == '-' && args[i] != "--help" &&
           args[i] != "-h") {
        bool takesValue = false;
        for (const OptionSpec& spec : CommonOptionSpecs()) {
            if (spec.takesValue &&
                (args[i] == "--" + spec.longName ||
                 (spec.shortName != 0 && args[i] == std::string{'-', spec.shortName}))) {
                takesValue = true;
            }
        }
        i += takesValue ? 2 : 1;
    }
    if (i == 0 || i >= args.size()) return args;
    std::vector<std::string> reordered{args[i]};
    reordered.insert(reordered.end(), args.begin(), args.begin() + static_cast<long>(i));
    reordered.insert(reordered.end(), args.begin() + static_cast<long>(i) + 1, args.end());
    return reordered;
}

const Command* FindCommand(const std::string& name) {
    for (const Command& command : Commands()) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

}  // namespace

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = MakeCommands();
    return commands;
}

std::string OverviewHelp() {
    std::string text =
        "Usage: rkcurl COMMAND [OPTIONS] ARGUMENTS\n"
        "       rkcurl COMMAND --help\n\n"
        "FTP and HTTP transfers through the RKCurl library. URLs are ftp://, ftps://,\n"
        "http:// or https://, optionally with USER[:PASSWORD]@ and :PORT.\n\nCommands:\n";
    for (const Command& command : Commands()) {
        char line[128];
        std::snprintf(line, sizeof line, "  %-12s %s\n", command.name, command.summary);
        text += line;
    }
    return text + "\n" + kCommonHelp + "\n" + kExitHelp;
}

std::string CommandHelp(const Command& command) {
    return std::string("Usage: rkcurl ") + command.name + " " + command.synopsis + "\n\n" +
           command.summary + ".\n" + command.details + "\n" + kCommonHelp + "\n" + kExitHelp;
}

int RunTool(const std::vector<std::string>& given) {
    const std::vector<std::string> args = CommandFirst(given);
    if (args.empty()) {
        std::fputs(OverviewHelp().c_str(), stderr);
        return kExitUsage;
    }
    const std::string& name = args[0];
    if (name == "--version" || name == "-V" || name == "version") {
        std::fputs(VersionText().c_str(), stdout);
        return kExitOk;
    }
    if (name == "--help" || name == "-h" || name == "help") {
        const Command* command = args.size() > 1 ? FindCommand(args[1]) : nullptr;
        std::fputs(command != nullptr ? CommandHelp(*command).c_str() : OverviewHelp().c_str(),
                   stdout);
        return kExitOk;
    }
    const Command* command = FindCommand(name);
    if (command == nullptr) {
        return ReportProblem("unknown command \"" + name + "\" (rkcurl --help lists them)",
                             kExitUsage);
    }
    SetCommandLabel(command->name);
    std::string error;
    const auto parsed = ParseArguments({args.begin() + 1, args.end()}, command->options, error);
    if (!parsed) {
        return ReportProblem(error + " (rkcurl " + command->name + " --help)", kExitUsage);
    }
    if (parsed->Has("help")) {
        std::fputs(CommandHelp(*command).c_str(), stdout);
        return kExitOk;
    }
    if (parsed->Has("version")) {
        std::fputs(VersionText().c_str(), stdout);
        return kExitOk;
    }
    const auto read = ReadCommonSettings(*parsed, error);
    if (!read) {
        return ReportProblem(error + " (rkcurl " + command->name + " --help)", kExitUsage);
    }
    const CommonSettings& settings = *read;
    std::unique_ptr<LogSinkScope> log;
    if (settings.logTarget) {
        log = std::make_unique<LogSinkScope>(*settings.logTarget);
        if (!log->ok()) {
            return ReportProblem("cannot open the log file " + *settings.logTarget, kExitLocalFile);
        }
    }
    return command->run(*parsed, settings);
}

}  // namespace rktool
