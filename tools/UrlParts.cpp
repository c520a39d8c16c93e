#include "UrlParts.h"

#include <curl/curl.h>

#include <memory>

namespace rktool {
namespace {

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct TextDeleter {
    void operator()(char* text) const { curl_free(text); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;
using CurlText = std::unique_ptr<char, TextDeleter>;

// One part of the parsed URL; nullopt when the URL does not have it.
std::optional<std::string> Part(CURLU* url, CURLUPart part, unsigned int flags) {
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, flags) != CURLUE_OK || raw == nullptr) return std::nullopt;
    CurlText text(raw);
    return std::string(text.get());
}

// Whether text begins with "scheme://"; without it, the scheme is guessed or defaulted.
bool HasScheme(const std::string& text) {
    return text.find("://") != std::string::npos;
}

std::string TrimFinalSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string UrlParts::ParentPath() const {
    const std::string trimmed = TrimFinalSlashes(path);
    const auto cut = trimmed.rfind('/');
    if (cut == std::string::npos) return "/";
    return trimmed.substr(0, cut + 1);
}

std::string UrlParts::LeafName() const {
    const std::string trimmed = TrimFinalSlashes(path);
    const auto cut = trimmed.rfind('/');
    return DecodeSegment(cut == std::string::npos ? trimmed : trimmed.substr(cut + 1));
}

std::string UrlParts::DirectoryPath() const {
    return TrimFinalSlashes(path) + (path == "/" ? "" : "/");
}

std::optional<UrlParts> ParseUrl(const std::string& text, const std::string& defaultScheme,
                                 std::string& error) {
    UrlHandle url(curl_url());
    if (!url) {
        error = "out of memory";
        return std::nullopt;
    }
    // libcurl guesses a scheme for a URL without one; the command's own default wins over it.
    CURLUcode rc = curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_GUESS_SCHEME);
    if (rc == CURLUE_OK && !HasScheme(text)) {
        rc = curl_url_set(url.get(), CURLUPART_SCHEME, defaultScheme.c_str(), 0);
    }
    if (rc != CURLUE_OK) {
        error = curl_url_strerror(rc);
        return std::nullopt;
    }
    UrlParts parts;
    parts.scheme = Part(url.get(), CURLUPART_SCHEME, 0).value_or("");
    if (parts.scheme != "ftp" && parts.scheme != "ftps" && parts.scheme != "http" &&
        parts.scheme != "https") {
        error = "unsupported scheme \"" + parts.scheme + "\" (ftp, ftps, http or https)";
        return std::nullopt;
    }
    const auto host = Part(url.get(), CURLUPART_HOST, 0);
    if (!host || host->empty()) {
        error = "no host in the URL";
        return std::nullopt;
    }
    parts.server = *host;
    if (const auto port = Part(url.get(), CURLUPART_PORT, 0)) parts.server += ":" + *port;
    parts.path = Part(url.get(), CURLUPART_PATH, 0).value_or("/");
    if (parts.path.empty()) parts.path = "/";
    parts.query = Part(url.get(), CURLUPART_QUERY, 0).value_or("");
    parts.user = Part(url.get(), CURLUPART_USER, CURLU_URLDECODE);
    parts.password = Part(url.get(), CURLUPART_PASSWORD, CURLU_URLDECODE);
    return parts;
}

std::string WithGuessedScheme(const std::string& text) {
    if (HasScheme(text)) return text;
    // libcurl guesses from the host's first label (ftp., dict., imap., ...); of those the tool
    // speaks FTP only, and HTTP for every other host.
    UrlHandle url(curl_url());
    const bool ftp =
        url &&
        curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_GUESS_SCHEME) == CURLUE_OK &&
        Part(url.get(), CURLUPART_SCHEME, 0) == std::optional<std::string>("ftp");
    return (ftp ? "ftp://" : "http://") + text;
}

std::string DisplayUrl(const UrlParts& url) {
    std::string text = url.scheme + "://";
    if (url.user) text += EncodeSegment(*url.user) + (url.password ? ":***" : "") + "@";
    text += url.server + url.path;
    if (!url.query.empty()) text += "?" + url.query;
    return text;
}

std::string DecodeSegment(const std::string& segment) {
    int length = 0;
    char* raw =
        curl_easy_unescape(nullptr, segment.c_str(), static_cast<int>(segment.size()), &length);
    if (raw == nullptr) return segment;
    CurlText text(raw);
    return std::string(text.get(), static_cast<std::size_t>(length));
}

std::string DecodePath(const std::string& path) {
    UrlHandle url(curl_url());
    if (url && curl_url_set(url.get(), CURLUPART_PATH, path.c_str(), 0) == CURLUE_OK) {
        if (auto names = Part(url.get(), CURLUPART_PATH, CURLU_URLDECODE)) return *names;
    }
    // libcurl will not decode a control character, which a name may hold ("%1B"); decoding
    // the whole path at once gives the same names as decoding segment by segment.
    return DecodeSegment(path);
}

std::string EncodeSegment(const std::string& name) {
    char* raw = curl_easy_escape(nullptr, name.c_str(), static_cast<int>(name.size()));
    if (raw == nullptr) return name;
    CurlText text(raw);
    return std::string(text.get());
}

}  // namespace rktool
