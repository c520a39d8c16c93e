// The textual path rules on UTF-8 paths, in one place: how a host's path joins the current
// one, when a path names a directory, and how an FTP path becomes the path of a URL.
//
// An FTP path is a sequence of names separated by "/"; a name is whatever bytes the server
// uses, "%" included. Only the URL handed to libcurl is encoded; every stored path (the HREF)
// keeps the plain names.
#pragma once

#include <string>

namespace rkcurl {
namespace path {

// Every backslash read as a slash; nothing else changes.
std::string Normalize(std::string path);
// path resolved against base, textually: empty keeps base, "/..." replaces it, otherwise the
// two are joined with one "/" (an empty base gives "/" + path).
std::string Concatenate(const std::string& base, const std::string& path);
// Gives path a final "/" unless it has one already; true when it was added.
bool EnsureDirectorySlash(std::string& path);
// The directory that path names, entered from current: normalised, joined, ending in "/".
std::string JoinDirectory(const std::string& current, const std::string& path);
// The path as URL text: each byte outside the unreserved characters (letters, digits,
// "-", ".", "_", "~") becomes "%" and two upper-case hex digits; "/" stays the separator.
// libcurl decodes each segment again, so the server gets the names byte for byte.
std::string EncodeSegments(const std::string& path);

}  // namespace path
}  // namespace rkcurl
