#include "Netrc.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace rktool {
namespace {

// The file's words; a macdef's body (up to the next empty line) is not part of them.
std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream lines(text);
    std::string line;
    bool inMacro = false;
    while (std::getline(lines, line)) {
        if (inMacro) {
            if (line.find_first_not_of(" \t\r") == std::string::npos) inMacro = false;
            continue;
        }
        std::istringstream in(line);
        std::string word;
        while (in >> word) {
            if (word == "macdef") {
                inMacro = true;
                break;
            }
            words.push_back(word);
        }
    }
    return words;
}

}  // namespace

std::optional<NetrcEntry> FindNetrcEntry(const std::string& text, const std::string& host) {
    const std::vector<std::string> words = Words(text);
    std::optional<NetrcEntry> found;
    std::optional<NetrcEntry> fallback;
    std::optional<NetrcEntry>* current = nullptr;  // the entry being read, null: not wanted
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool hasValue = i + 1 < words.size();
        if (word == "machine") {
            current = nullptr;
            if (hasValue && words[++i] == host && !found) {
                found.emplace();
                current = &found;
            }
        } else if (word == "default") {
            current = nullptr;
            if (!fallback) {
                fallback.emplace();
                current = &fallback;
            }
        } else if ((word == "login" || word == "password" || word == "account") && hasValue) {
            const std::string& value = words[++i];
            if (current == nullptr) continue;
            if (word == "login") (*current)->login = value;
            if (word == "password") (*current)->password = value;
        }
    }
    return found ? found : fallback;
}

std::string DefaultNetrcPath() {
    const char* home = std::getenv("HOME");
    return home == nullptr || *home == '\0' ? std::string() : std::string(home) + "/.netrc";
}

}  // namespace rktool
