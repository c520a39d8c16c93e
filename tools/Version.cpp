#include "Version.h"

#include <curl/curl.h>

namespace rktool {

std::string VersionText() {
    std::string text = "rkcurl " RKCURL_TOOL_VERSION "\nRKCurl library " RKCURL_TOOL_VERSION "\n";
    // The libcurl the process runs with, which may be newer than the one it was built against.
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    text += std::string("libcurl ") + info->version;
    text += std::string(" (TLS: ") + (info->ssl_version != nullptr ? info->ssl_version : "none") +
            ")\n";
    text += "Protocols:";
    for (const char* const* protocol = info->protocols; protocol && *protocol; ++protocol) {
        text += std::string(" ") + *protocol;
    }
    return text + "\n";
}

}  // namespace rktool
