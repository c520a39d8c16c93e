#include "Arguments.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace rktool {
namespace {

// Seconds as curl takes them ("2", "0.5") in milliseconds; false for anything else.
bool ParseSeconds(const std::string& text, long& milliseconds) {
    char* end = nullptr;
    errno = 0;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !(seconds >= 0) || seconds > 1e9) {
        return false;
    }
    milliseconds = static_cast<long>(std::ceil(seconds * 1000));
    return true;
}

bool ParseCount(const std::string& text, long max, long& value) {
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || parsed < 0 || parsed > max) return false;
    value = static_cast<long>(parsed);
    return true;
}

const OptionSpec* FindLong(const std::vector<const OptionSpec*>& specs, const std::string& name) {
    for (const OptionSpec* spec : specs) {
        if (spec->longName == name) return spec;
    }
    return nullptr;
}

const OptionSpec* FindShort(const std::vector<const OptionSpec*>& specs, char name) {
    for (const OptionSpec* spec : specs) {
        if (spec->shortName != 0 && spec->shortName == name) return spec;
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> ParsedArguments::Value(const std::string& name) const {
    const auto found = options.find(name);
    if (found == options.end() || found->second.empty()) return std::nullopt;
    return found->second.back();
}

const std::vector<std::string>& ParsedArguments::Values(const std::string& name) const {
    static const std::vector<std::string> none;
    const auto found = options.find(name);
    return found == options.end() ? none : found->second;
}

const std::vector<OptionSpec>& CommonOptionSpecs() {
    static const std::vector<OptionSpec> specs = {
        {"user", 'u', true},        {"secure", 0, false},
        {"verbose", 'v', false},    {"log", 0, true},
        {"quiet", 'q', false},      {"no-reuse", 0, false},
        {"progress", 0, false},     {"no-progress", 0, false},
        {"help", 'h', false},       {"progress-bar", '#', false},
        {"silent", 's', false},     {"connect-timeout", 0, true},
        {"max-time", 'm', true},    {"speed-limit", 'Y', true},
        {"speed-time", 'y', true},  {"location", 'L', false},
        {"max-redirs", 0, true},    {"header", 'H', true},
        {"insecure", 'k', false},   {"cacert", 0, true},
        {"proxy", 'x', true},       {"noproxy", 0, true},
        {"netrc", 'n', false},      {"netrc-file", 0, true},
        {"retry", 0, true},         {"version", 'V', false},
        {"tls-max", 0, true},       {"ftp-port", 'P', true},
        {"disable-epsv", 0, false}, {"disable-eprt", 0, false},
    };
    return specs;
}

std::optional<ParsedArguments> ParseArguments(const std::vector<std::string>& args,
                                              const std::vector<OptionSpec>& commandSpecs,
                                              std::string& error) {
    std::vector<const OptionSpec*> specs;
    for (const OptionSpec& spec : commandSpecs) specs.push_back(&spec);
    for (const OptionSpec& spec : CommonOptionSpecs()) specs.push_back(&spec);

    ParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionSpec* spec = nullptr;
        std::optional<std::string> inlineValue;
        std::string shown;
        if (arg[1] == '-') {
            const std::string body = arg.substr(2);
            const auto eq = body.find('=');
            shown = "--" + body.substr(0, eq);
            spec = FindLong(specs, body.substr(0, eq));
            if (eq != std::string::npos) inlineValue = body.substr(eq + 1);
        } else {
            shown = arg.substr(0, 2);
            spec = FindShort(specs, arg[1]);
            if (arg.size() > 2) inlineValue = arg.substr(2);
        }
        if (spec == nullptr) {
            error = "unknown option " + shown;
            return std::nullopt;
        }
        if (!spec->takesValue) {
            if (inlineValue) {
                error = "option " + shown + " takes no value";
                return std::nullopt;
            }
            parsed.options[spec->longName].push_back("");
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                error = "option " + shown + " needs a value";
                return std::nullopt;
            }
            inlineValue = args[++i];
        }
        parsed.options[spec->longName].push_back(*inlineValue);
    }
    return parsed;
}

std::optional<CommonSettings> ReadCommonSettings(const ParsedArguments& parsed,
                                                 std::string& error) {
    CommonSettings settings;
    struct Seconds {
        const char* option;
        long* target;
    };
    for (const Seconds& item : {Seconds{"connect-timeout", &settings.connectTimeoutMs},
                                Seconds{"max-time", &settings.maxTimeMs}}) {
        const auto value = parsed.Value(item.option);
        if (value && !ParseSeconds(*value, *item.target)) {
            error = std::string("--") + item.option + " wants seconds, got \"" + *value + "\"";
            return std::nullopt;
        }
    }
    struct Count {
        const char* option;
        long max;
        long* target;
    };
    long retries = 0;
    // 2^40 bytes a second, or what a long holds where it is 32 bits (Windows).
    constexpr long kSpeedLimitMax =
        static_cast<long>(std::min<long long>(1LL << 40, std::numeric_limits<long>::max()));
    for (const Count& item :
         {Count{"speed-limit", kSpeedLimitMax, &settings.speedLimit},
          Count{"speed-time", 1L << 30, &settings.speedTime},
          Count{"max-redirs", 1L << 20, &settings.maxRedirects}, Count{"retry", 1000, &retries}}) {
        const auto value = parsed.Value(item.option);
        if (value && !ParseCount(*value, item.max, *item.target)) {
            error = std::string("--") + item.option + " wants a count, got \"" + *value + "\"";
            return std::nullopt;
        }
    }
    settings.retries = static_cast<int>(retries);
    // As curl: one of the two alone means a limit of 1 byte per second, or over 30 seconds.
    if (settings.speedLimit > 0 && settings.speedTime == 0) settings.speedTime = 30;
    if (settings.speedTime > 0 && settings.speedLimit == 0) settings.speedLimit = 1;
    settings.followRedirects = parsed.Has("location");
    settings.headers = parsed.Values("header");
    if (const auto version = parsed.Value("tls-max")) {
        // curl's names of the versions.
        const std::pair<const char*, int> versions[] = {
            {"default", 0}, {"1.0", 10}, {"1.1", 11}, {"1.2", 12}, {"1.3", 13}};
        for (const auto& [name, number] : versions) {
            if (*version == name) settings.tlsMax = number;
        }
        if (!settings.tlsMax) {
            error = "--tls-max wants 1.0, 1.1, 1.2, 1.3 or default, got \"" + *version + "\"";
            return std::nullopt;
        }
    }
    settings.ftpPort = parsed.Value("ftp-port");
    settings.disableEpsv = parsed.Has("disable-epsv");
    settings.disableEprt = parsed.Has("disable-eprt");
    settings.insecure = parsed.Has("insecure");
    settings.caFile = parsed.Value("cacert");
    settings.proxy = parsed.Value("proxy");
    settings.noProxy = parsed.Value("noproxy");
    settings.netrc = parsed.Has("netrc");
    settings.netrcFile = parsed.Value("netrc-file");
    if (const auto user = parsed.Value("user")) {
        const auto colon = user->find(':');
        settings.user = user->substr(0, colon);
        if (colon != std::string::npos) settings.password = user->substr(colon + 1);
    }
    settings.secure = parsed.Has("secure");
    settings.verbose = parsed.Has("verbose");
    settings.quiet = parsed.Has("quiet") || parsed.Has("silent");
    settings.reuse = !parsed.Has("no-reuse");
    settings.forceProgress = parsed.Has("progress") || parsed.Has("progress-bar");
    settings.noProgress = parsed.Has("no-progress");
    settings.logTarget = parsed.Value("log");
    return settings;
}

}  // namespace rktool
