// libcurl's process-wide initialisation and the record of its failure.
#pragma once

#include "RKCurl/CRKError.h"

// The failure of libcurl's global initialisation, if any; reset by every failure report, so a
// failed initialisation is reported by one preparation only.
extern oru::shared::error::CRKError g_InitError;

// Runs curl_global_init once, in its constructor; curl_global_cleanup at unload.
class CNetworkLibrary {
public:
    CNetworkLibrary();
    ~CNetworkLibrary();
    CNetworkLibrary(const CNetworkLibrary&) = delete;
    CNetworkLibrary& operator=(const CNetworkLibrary&) = delete;
};
