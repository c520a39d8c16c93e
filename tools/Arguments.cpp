#include "Arguments.h"

namespace rktool {
namespace {

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
        {"user", 'u', true},    {"secure", 0, false},      {"verbose", 'v', false},
        {"log", 0, true},       {"quiet", 'q', false},     {"no-reuse", 0, false},
        {"progress", 0, false}, {"no-progress", 0, false}, {"help", 'h', false},
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

CommonSettings ReadCommonSettings(const ParsedArguments& parsed) {
    CommonSettings settings;
    if (const auto user = parsed.Value("user")) {
        const auto colon = user->find(':');
        settings.user = user->substr(0, colon);
        if (colon != std::string::npos) settings.password = user->substr(colon + 1);
    }
    settings.secure = parsed.Has("secure");
    settings.verbose = parsed.Has("verbose");
    settings.quiet = parsed.Has("quiet");
    settings.reuse = !parsed.Has("no-reuse");
    settings.forceProgress = parsed.Has("progress");
    settings.noProgress = parsed.Has("no-progress");
    settings.logTarget = parsed.Value("log");
    return settings;
}

}  // namespace rktool
