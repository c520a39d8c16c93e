// The URL of an FTP request. The HREF holds plain names; the URL carries them encoded, so
// libcurl's URL parser neither refuses nor cuts nor decodes them away.
#pragma once

#include <string>

#include "RKCurl/TextConversion.h"
#include "foundation/PathRules.h"
#include "ftp/FtpRequests.h"

namespace rkcurl {
namespace ftp {

// Scheme, server and HREF joined without a separator (an HREF begins with "/"); implicit TLS
// is libcurl's "ftps://".
inline std::string Url(const std::wstring& server, const std::string& href,
                       bool implicitTls = false) {
    return oru::helper::WideStrToNarStr(std::wstring(implicitTls ? kImplicitTlsScheme : kScheme) +
                                        server) +
           rkcurl::path::EncodeSegments(href);
}

}  // namespace ftp
}  // namespace rkcurl
