// Credentials from a netrc file: "machine HOST login USER password SECRET" entries, a
// "default" entry for any other host, "macdef" bodies skipped.
#pragma once

#include <optional>
#include <string>

namespace rktool {

struct NetrcEntry {
    std::string login;
    std::optional<std::string> password;
};

// The entry for host in the text of a netrc file: the first "machine host", else "default".
std::optional<NetrcEntry> FindNetrcEntry(const std::string& text, const std::string& host);

// $HOME/.netrc, or "" without HOME.
std::string DefaultNetrcPath();

}  // namespace rktool
