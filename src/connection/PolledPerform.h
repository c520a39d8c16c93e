// The transfer of a handle on a shared connection cache, run by a loop of our own.
//
// libcurl 7.88 can park an FTP transfer on a reused connection without a socket or timer to
// wake it (a request for the directory of the connection's previous transfer sends no CWD, and
// the reply to EPSV may already be buffered): curl_easy_perform's internal poll then waits its
// full second before the data connection opens. Polling with a short cap wakes the transfer
// within milliseconds instead; the commands sent and the result are those of
// curl_easy_perform.
#pragma once

#include <curl/curl.h>

#include "connection/CurlHandle.h"

namespace rkcurl {

// Performs owner's handle through owner's multi handle (made on first use) and returns
// libcurl's result for the transfer. A handle the multi interface does not take is performed
// with curl_easy_perform instead.
CURLcode PerformPolled(CurlHandleOwner& owner);

}  // namespace rkcurl
