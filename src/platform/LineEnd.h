// The line end of an FTP directory listing as libcurl hands it to us.
//
// libcurl passes an ASCII transfer through untouched on Windows (CR LF from the server) but
// turns every CR LF, and every lone CR, into LF on other systems.
#pragma once

namespace rkplatform {

#if defined(_WIN32)
constexpr char kListingLineEnd[] = "\r\n";
#else
constexpr char kListingLineEnd[] = "\n";
#endif
constexpr int kListingLineEndLength = sizeof(kListingLineEnd) - 1;

}  // namespace rkplatform
