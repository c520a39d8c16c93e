// The preparation steps that the protocol classes compose their own preparation from.
#pragma once

#include <string>

#include "RKCurl/CConnection.h"

namespace rkcurl {

// The work of CConnection::Prepare for a URL the caller composed (UTF-8): the protocol classes
// whose paths are not URL text compose their own and prepare through this. secure: whether the
// request runs over TLS, which picks its connection cache when connections are reused.
int PrepareUrl(CConnection& connection, const std::string& url, bool secure);

// Sets the certificate checks of a secure request: switched off, or on with SetVerifyPeer,
// plus the CA bundle when one is set; then the TLS version range when SetTlsVersions chose
// one. True when libcurl took every option.
bool SetCertificateChecks(CConnection& connection);

}  // namespace rkcurl
