// Where the opt-in transfer controls reach libcurl.
#pragma once

#include "RKCurl/CConnection.h"

namespace rkcurl {

// Sets the controls the host asked for (limits, proxy choices, netrc file, debug callback) on
// the prepared handle, after the shared options; nothing for a control left at its default.
// False at the first option libcurl refuses (its result in m_lastCurlCode).
bool SetTransferControls(CConnection& connection);

}  // namespace rkcurl
