// RKCurl: FTP, FTPS, HTTP and HTTPS client classes over libcurl.
//
// Include this one header. CRFTP and CRHTTP are the two clients; both derive from CConnection
// (options, preparation, the failure record m_error) and CNetworkSetting (server, credentials,
// HREF). Failures are reported as integer codes (oru::shared::error::rkerr_e) plus a CRKError
// record; traces and failure records go to RKLogging's logger (<RKLogging/RKLogging.h>).
#pragma once

#include "RKCurl/CConnection.h"
#include "RKCurl/CNetworkSetting.h"
#include "RKCurl/CRFTP.h"
#include "RKCurl/CRHTTP.h"
#include "RKCurl/CRKCurl.h"
#include "RKCurl/CRKError.h"
#include "RKCurl/CRTreeEntry.h"
#include "RKCurl/Export.h"
#include "RKCurl/TextConversion.h"
#include "RKCurl/WindowsTypes.h"
