// The tool's own logic, table by table: what each function must accept and what it must not.
// Each row is named by its input; a result is compared as one line of text.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Arguments.h"
#include "ArgvSecrets.h"
#include "Failure.h"
#include "Listing.h"
#include "ProgressLine.h"
#include "Retry.h"
#include "TerminalText.h"
#include "UrlParts.h"
#include "VerboseFilter.h"

namespace rktool {
namespace {

using oru::shared::error::CRKError;
using oru::shared::error::RKERR_PERFORM;
using ::testing::PrintToString;
using Strings = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

// Each row's input through f must give the row's expected text.
template <typename F>
void ExpectEach(const Pairs& rows, F f) {
    for (const auto& [input, expected] : rows) EXPECT_EQ(f(input), expected) << input;
}

std::pair<std::string, std::string> Split(const std::string& input) {
    const auto bar = input.find('|');
    return {input.substr(0, bar), input.substr(bar + 1)};
}

std::string Field(const char* name, long value) {
    return value != 0 ? std::string(" ") + name + " " + std::to_string(value) : "";
}

// The settings a command line gives that differ from the defaults, or its error.
std::string Settings(const Strings& args) {
    std::string error;
    const auto parsed = ParseArguments(args, {}, error);
    const auto s = parsed ? ReadCommonSettings(*parsed, error) : std::nullopt;
    if (!s) return "error: " + error;
    std::string text = Field("max", s->maxTimeMs) + Field("connect", s->connectTimeoutMs) +
                       Field("speed", s->speedLimit) + Field("per", s->speedTime) +
                       Field("retry", s->retries) + Field("tls", s->tlsMax.value_or(0));
    if (s->user) text += " user " + *s->user;
    if (s->password) text += " password " + *s->password;
    for (const std::string& operand : parsed->operands) text += " [" + operand + "]";
    return text.substr(text.empty() ? 0 : 1);
}

TEST(ToolArguments, CommonOptionsAndTheirValues) {
    const std::vector<std::pair<Strings, std::string>> rows = {
        {{"-m", "0.5"}, "max 500"},
        {{"--max-time=0.0001"}, "max 1"},
        {{"-m2", "--connect-timeout", "1.25"}, "max 2000 connect 1250"},
        {{"-Y", "100"}, "speed 100 per 30"},
        {{"-y", "5", "--retry", "3"}, "speed 1 per 5 retry 3"},
        {{"-u", "al:b:c"}, "user al password b:c"},
        {{"--user=al", "--", "-v", "-"}, "user al [-v] [-]"},
        {{"--tls-max", "1.3", "-P", "-", "--disable-epsv", "--disable-eprt"}, "tls 13"},
        {{"-m", "-1"}, "error: --max-time wants seconds, got \"-1\""},
        {{"-m", "1s"}, "error: --max-time wants seconds, got \"1s\""},
        {{"--retry", "-1"}, "error: --retry wants a count, got \"-1\""},
        {{"--retry", "1001"}, "error: --retry wants a count, got \"1001\""},
        {{"--tls-max", "1.4"}, "error: --tls-max wants 1.0, 1.1, 1.2, 1.3 or default, got \"1.4\""},
        {{"--verbose=1"}, "error: option --verbose takes no value"},
        {{"-m"}, "error: option -m needs a value"},
    };
    for (const auto& [args, expected] : rows)
        EXPECT_EQ(Settings(args), expected) << PrintToString(args);
}

TEST(ToolArguments, PasswordsBlankedInTheArgumentList) {
    const std::vector<std::pair<Strings, Strings>> rows = {
        {{"ls", "-u", "al:pw", "ftp://h/"}, {"ls", "-u", "al:  ", "ftp://h/"}},
        {{"-ual:pw", "--user", "b:p:w"}, {"-ual:  ", "--user", "b:   "}},
        {{"get", "--user=al:pw"}, {"get", "--user=al:  "}},
        {{"-u", "al", "-H", "-u:x"}, {"-u", "al", "-H", "-u:x"}},
        {{"-o", "-u", "x:y"}, {"-o", "-u", "x:y"}},
        {{"--", "-u", "a:b"}, {"--", "-u", "a:b"}},
    };
    for (auto [args, expected] : rows) {
        args.insert(args.begin(), "rkcurl");
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        BlankPasswordArguments(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(Strings(args.begin() + 1, args.end()), expected) << PrintToString(expected);
    }
}

// libcurl's kind of trace (0 text, 1 in, 2 out, 3 data) and its piece: login lines masked.
TEST(ToolVerbose, OnlyTheLoginIsMasked) {
    const Pairs rows = {
        {"2|PASS secret\r\n", "> PASS ***\r\n"},
        {"2|GET / HTTP/1.1\r\nAuthorization: Basic dTpw\r\n",
         "> GET / HTTP/1.1\r\nAuthorization: Basic ***\r\n"},
        {"2|proxy-authorization: Digest x=1", "> proxy-authorization: Digest ***"},
        {"0|Connected to ftp://u:pw@h/x", "* Connected to ftp://u:***@h/x"},
        {"2|USER e\r\n", "> USER e\r\n"},
        {"1|331 Password required\r\n", "< 331 Password required\r\n"},
        {"0|ftp://u@h/a:b@c", "* ftp://u@h/a:b@c"},
        {"1|X-Authorization-Hint: none", "< X-Authorization-Hint: none"},
        {"3|PASS secret", ""},
    };
    ExpectEach(rows, [](const std::string& input) {
        const auto [type, data] = Split(input);
        return MaskedTrace(std::stoi(type), data.data(), data.size());
    });
}

TEST(ToolProgress, SizesDurationsAndLines) {
    const Pairs durations = {{"0", "0:00"},       {"59.4", "0:59"},    {"3599", "59:59"},
                             {"3600", "1:00:00"}, {"3661", "1:01:01"}, {"-5", "0:00"}};
    ExpectEach(durations, [](const std::string& text) { return HumanDuration(std::stod(text)); });
    const Pairs sizes = {{"0", "0 B"},           {"1023", "1023 B"},
                         {"1024", "1.0 KiB"},    {"1536", "1.5 KiB"},
                         {"3145728", "3.0 MiB"}, {"1125899906842624", "1024.0 TiB"}};
    ExpectEach(sizes, [](const std::string& text) { return HumanSize(std::stod(text)); });

    // A resumed transfer: 100000 bytes were there, 200000 came in 2 s.
    ProgressView view{"data.bin", 200000, 200000, 100000, 2};
    const std::string line = FormatProgressLine(view, 120);
    EXPECT_NE(line.find("100%  293.0 KiB / 293.0 KiB (resumed at 97.7 KiB)  97.7 KiB/s  0:02"),
              std::string::npos)
        << line;
    EXPECT_EQ(FormatSummaryLine(view, 120),
              "data.bin: 195.3 KiB in 0:02 (97.7 KiB/s), resumed at 97.7 KiB");
    view.label = "a-rather-long-file-name-for-a-narrow-terminal.tar.gz";
    for (int width : {12, 20, 40, 80})
        EXPECT_LT(FormatProgressLine(view, width).size(), width * 1u);
}

TEST(ToolFailure, LastReplyAndTransientFailures) {
    const Pairs replies = {{"220 hi\r\n230-Welcome\r\n230 ok\r\n", "230 ok"},
                           {"250 ok\r\n550-partial\r\n", "250 ok"},
                           {"550-first\n550 last", "550 last"},
                           {"12 short\r\nabc def\r\n", ""}};
    ExpectEach(replies, LastReplyLine);

    const Pairs failures = {
        // protocol, libcurl's result and the reply code or HTTP status
        {"ftp 7 0", "retry"},    {"http 28 0", "retry"},   {"ftp 19 450", "retry"},
        {"ftp 78 550", "final"}, {"http 22 503", "retry"}, {"http 22 404", "final"},
        {"ftp 60 0", "final"},   {"ftp 18 426", "retry"},  {"ftp 55 522", "retry"}};
    ExpectEach(failures, [](const std::string& input) {
        std::istringstream in(input);
        std::string protocol;
        int result = 0;
        long code = 0;
        in >> protocol >> result >> code;
        const auto kind = protocol == "ftp" ? Protocol::Ftp : Protocol::Http;
        return IsTransient(CRKError(RKERR_PERFORM, result), kind, code) ? "retry" : "final";
    });
}

TEST(ToolTerminal, ControlCharactersEscaped) {
    const Pairs rows = {
        {"plain name.txt", "plain name.txt"},
        {"tab\tnew\nline\r", "tab\\tnew\\nline\\r"},
        {"back\\slash del\x7f", "back\\\\slash del\\177"},
        {"csi\xc2\x9bJ", "csi\\302\\233J"},
        {"\xc3\xbc and \xc2\xa0", "\xc3\xbc and \xc2\xa0"},  // letters, a no-break space
    };
    ExpectEach(rows, EscapeControls);

    // The lines ls leaves out: a name too long for a record, and lines in no listing form.
    const std::string longName = "-rw-r--r-- 1 u g 5 Jan  1  2020 " + std::string(300, 'n');
    EXPECT_EQ(
        UnshownReport(UnshownEntries({"total 12", "", "Directory DISK:[PUB]", "Total of 2 files.",
                                      longName, "garbage\x1b[2J", "total 12x"})),
        "3 entries not shown (1 name longer than 259 characters, 2 lines in no listing form "
        "rkcurl reads):\n  " +
            longName + "\n  garbage\\033[2J\n  total 12x");
    EXPECT_EQ(UnshownReport({}), "");
}

TEST(ToolUrl, PartsDecodingAndGuessedSchemes) {
    const Pairs rows = {
        // URL and default scheme (after "|"): the parts or the failure
        {"ftp://u:p%40ss@h:21/a%20b/c?x=1|ftp", "ftp h:21 /a%20b/c ?x=1 u p@ss"},
        {"h/pub/|ftp", "ftp h /pub/ ? - -"},
        {"ftp.example.org/f|http", "http ftp.example.org /f ? - -"},
        {"u@h:2121|ftp", "ftp h:2121 / ? u -"},
        {"gopher://h/|ftp", "unsupported scheme \"gopher\" (ftp, ftps, http or https)"},
    };
    ExpectEach(rows, [](const std::string& input) {
        const auto [text, defaultScheme] = Split(input);
        std::string error;
        const auto url = ParseUrl(text, defaultScheme, error);
        return url ? url->scheme + " " + url->server + " " + url->path + " ?" + url->query + " " +
                         url->user.value_or("-") + " " + url->password.value_or("-")
                   : error;
    });
    // Of the schemes libcurl guesses from a host name, only FTP's is taken.
    ExpectEach({{"ftp.example.org/f", "ftp://ftp.example.org/f"},
                {"dict.example.org/x", "http://dict.example.org/x"},
                {"127.0.0.1:8080/f", "http://127.0.0.1:8080/f"},
                {"https://ftp.x/", "https://ftp.x/"}},
               WithGuessedScheme);
    // libcurl decodes no control character: the whole path is decoded instead.
    ExpectEach({{"/New%20folder/100%25", "/New folder/100%"}, {"/%1Bx", "/\x1bx"}}, DecodePath);
}

}  // namespace
}  // namespace rktool
