// What every command does before it talks to a server: parse the URL, settle the credentials
// (asking for a missing password), and configure a client with the common options.
#pragma once

#include <RKCurl/RKCurl.h>

#include <optional>
#include <string>
#include <vector>

#include "Arguments.h"
#include "UrlParts.h"

namespace rktool {

enum class Protocol { Ftp, Http };

// Where a download goes: a file (-o FILE), a file named after the URL (-O), or standard
// output (neither, or -o -).
struct OutputChoice {
    std::optional<std::string> path;
    bool remoteName = false;
};

// The local file name for output and the URL: -O takes the URL's last segment. Empty for
// standard output; nullopt, with the problem printed and status set, when -O finds no name.
std::optional<std::string> ResolveOutput(const OutputChoice& output, const UrlParts& url,
                                         int& status);

// False, with the problem printed and status set, when an -o names no file: -o "" is a
// mistake (an unset variable, say) more often than a way to say standard output, which is -o -.
bool OutputNamesOk(const ParsedArguments& args, int& status);

// The downloads of get: one per URL, the n-th -o for the n-th URL, -O for the rest.
std::vector<OutputChoice> OutputChoices(const ParsedArguments& args, int& status);

struct Session {
    CommonSettings settings;
    UrlParts url;
    bool authenticate = false;
    std::string user;
    std::string password;
    std::string netrcFile;  // libcurl takes user and password from it; empty: none
    bool showProgress = false;
};

// Fills session for urlText. Returns kExitOk, or the exit status after printing the problem.
int OpenSession(const std::string& urlText, Protocol protocol, const CommonSettings& settings,
                Session& session);

// Server, credentials (or the netrc file), TLS (explicit, or implicit for ftps://), its versions
// and checks, the FTP data connection choices, the masked verbose trace, connection reuse, the
// progress callback, the transfer limits and the proxy choices.
void Configure(CConnection& client, const Session& session);

// The highest TLS version of FTPS sessions unless --tls-max says otherwise: TLS 1.2.
constexpr int kFtpsTlsMax = 12;

// The next request opens a new connection instead of reusing the cached one (a retry after a
// failure that may have come from the connection itself).
void ForgetCachedConnections(CConnection& client, const Session& session);

// Whole local files, in and out. False on failure, with errno kept.
bool ReadLocalFile(const std::string& path, std::string& data);
bool WriteLocalFile(const std::string& path, const char* data, std::size_t size);
// Writes to standard output; false when it fails.
bool WriteStdout(const char* data, std::size_t size);

// Writes all of text to a file descriptor, giving up quietly on an error.
void WriteAll(int fd, const std::string& text);

// Checks the operand count against min..max; otherwise prints the problem with the usage line
// and sets status.
bool OperandsOk(const ParsedArguments& args, std::size_t min, std::size_t max, const char* usage,
                int& status);

// An informative line on standard error, unless --quiet.
void Note(const Session& session, const std::string& text);

// "<what> <path>: <strerror(errno)>".
std::string LocalError(const std::string& what, const std::string& path);

// The last component of a local path.
std::string BaseName(const std::string& path);

std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace rktool
