// The parts of a URL the tool hands to the library: scheme, server ("host:port"), path and
// query as written (still percent-encoded, as libcurl expects them in a URL), and the user name
// and password decoded. Parsed with libcurl's own URL API, never by hand.
#pragma once

#include <optional>
#include <string>

namespace rktool {

struct UrlParts {
    std::string scheme;  // lower case: ftp, ftps, http or https
    std::string server;  // host, with ":port" when the URL has one
    std::string path;    // begins with "/", percent-encoded as written
    std::string query;   // without "?", empty when absent
    std::optional<std::string> user;
    std::optional<std::string> password;

    bool IsFtp() const { return scheme == "ftp" || scheme == "ftps"; }
    bool IsSecureScheme() const { return scheme == "ftps" || scheme == "https"; }

    // The path's directory part with a final "/" ("/a/b/" for "/a/b/c" and "/a/b/c/").
    std::string ParentPath() const;
    // The last path segment, percent-decoded; empty for "/".
    std::string LeafName() const;
    // The path with exactly one final "/".
    std::string DirectoryPath() const;
};

// Parses text with libcurl's URL API; a URL without "scheme://" gets defaultScheme. On failure
// returns nullopt and puts libcurl's reason into error.
std::optional<UrlParts> ParseUrl(const std::string& text, const std::string& defaultScheme,
                                 std::string& error);

// For a command that takes both FTP and HTTP URLs: text as it is when it has "scheme://",
// else with the scheme libcurl guesses from the host (CURLU_GUESS_SCHEME) when that is FTP (a
// host whose name starts with "ftp."), "http://" for any other.
std::string WithGuessedScheme(const std::string& text);

// The URL for messages: scheme, user (never the password), server, path and query.
std::string DisplayUrl(const UrlParts& url);

// Percent-decodes one URL segment, and percent-encodes one name for a URL path.
std::string DecodeSegment(const std::string& segment);
std::string EncodeSegment(const std::string& name);
// A URL path as the FTP path of plain names the library takes, decoded by libcurl
// (CURLU_URLDECODE).
std::string DecodePath(const std::string& path);

}  // namespace rktool
