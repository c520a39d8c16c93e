// libcurl's process-wide initialisation and the record of its failure.
#pragma once

#include "RKCurl/CRKError.h"

// The failure of libcurl's global initialisation, if any; reset by every failure report, so a
// failed initialisation is reported by one preparation only. Read and reset it only through
// the two functions below: operations on several threads fail at the same time.
extern oru::shared::error::CRKError g_InitError;

namespace rkcurl {

// Hands out the waiting failure and clears it in one step: of several threads preparing at the
// same time, one reports it.
oru::shared::error::CRKError TakeInitError();
void ResetInitError();

// libcurl's global state stays up while anything made by libcurl is alive: every easy handle
// and connection cache holds the library, and the one CNetworkLibrary does too until unload.
// The global cleanup runs when the last holder lets go, so a client object of static lifetime
// that still holds a handle at exit cleans the handle up before libcurl's global cleanup.
void HoldNetworkLibrary();
void ReleaseNetworkLibrary();

}  // namespace rkcurl

// Runs curl_global_init once, in its constructor; gives up its hold at unload.
class CNetworkLibrary {
public:
    CNetworkLibrary();
    ~CNetworkLibrary();
    CNetworkLibrary(const CNetworkLibrary&) = delete;
    CNetworkLibrary& operator=(const CNetworkLibrary&) = delete;
};
