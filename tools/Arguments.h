// Command-line parsing: the options every command takes, and a small table-driven parser for
// each command's own options and operands.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace rktool {

struct OptionSpec {
    std::string longName;  // without "--"
    char shortName;        // 0 when there is none
    bool takesValue;
};

// What a command line said: options by long name (every value, in order; a flag has one empty
// value per use) and the operands.
struct ParsedArguments {
    std::map<std::string, std::vector<std::string>> options;
    std::vector<std::string> operands;

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    // The last value given for name.
    std::optional<std::string> Value(const std::string& name) const;
    const std::vector<std::string>& Values(const std::string& name) const;
};

// The options every command takes.
const std::vector<OptionSpec>& CommonOptionSpecs();

// Parses args against the command's specs plus the common ones. "--" ends the options; a lone
// "-" is an operand. On failure returns nullopt with the reason in error.
std::optional<ParsedArguments> ParseArguments(const std::vector<std::string>& args,
                                              const std::vector<OptionSpec>& specs,
                                              std::string& error);

// The settings that the common options give.
struct CommonSettings {
    std::optional<std::string> user;
    std::optional<std::string> password;
    bool secure = false;
    bool verbose = false;
    bool quiet = false;
    bool reuse = true;
    bool forceProgress = false;
    bool noProgress = false;
    std::optional<std::string> logTarget;

    // Transfer limits; 0: none.
    long connectTimeoutMs = 0;
    long maxTimeMs = 0;
    long speedLimit = 0;  // bytes per second
    long speedTime = 0;   // seconds
    // HTTP: redirects followed (-L) up to maxRedirects; extra request header lines.
    bool followRedirects = false;
    long maxRedirects = 50;
    std::vector<std::string> headers;
    // TLS: checks on unless insecure; the CA bundle for them.
    bool insecure = false;
    std::optional<std::string> caFile;
    // TLS versions: the highest one (--tls-max: 10 to 13 for TLS 1.0 to 1.3, 0 for libcurl's
    // default); FTPS stops at TLS 1.2 unless told otherwise.
    std::optional<int> tlsMax;
    // FTP: active mode at this address (-P), and EPSV or EPRT switched off.
    std::optional<std::string> ftpPort;
    bool disableEpsv = false;
    bool disableEprt = false;
    std::optional<std::string> proxy;
    std::optional<std::string> noProxy;  // comma-separated hosts, "*" for all
    // Credentials from a netrc file when neither -u nor the URL gives a user.
    bool netrc = false;
    std::optional<std::string> netrcFile;
    int retries = 0;
};

// Reads the common options; nullopt with the reason in error for a malformed value.
std::optional<CommonSettings> ReadCommonSettings(const ParsedArguments& parsed, std::string& error);

}  // namespace rktool
