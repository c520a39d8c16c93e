// The listing transfer of FindFirstFileW.
#pragma once

#include "RKCurl/CRFTP.h"

namespace rkcurl {
namespace ftp {

// Fetches the HREF's listing into the response body: MLSD, "LIST -a" or plain LIST, as the
// listing settings say; machine is true when the body is a machine listing. Returns 0 or the
// code recorded as GetFile records it.
int FetchListing(CRFTP& session, bool& machine);

}  // namespace ftp
}  // namespace rkcurl
