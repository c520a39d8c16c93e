// How an FTP session reaches its server: TLS from the first byte, active or passive data
// connections, and the extended passive and active commands. All opt-in.
#pragma once

#include "RKCurl/CRFTP.h"

namespace rkcurl {
namespace ftp {

// Whether the session speaks TLS from the first byte (SetImplicitTls).
bool UsesImplicitTls(const CRFTP& session);

// Sets the data connection choices the host made (active port, EPSV, EPRT) on the prepared
// handle; nothing for a choice left at its default. False at the first option libcurl refuses
// (its result in m_lastCurlCode).
bool SetConnectionMode(CRFTP& session);

}  // namespace ftp
}  // namespace rkcurl
