// --retry: another try after a failure that may pass by itself, with a growing pause.
#pragma once

#include <RKCurl/CRKError.h>

#include <functional>
#include <string>

#include "Session.h"

namespace rktool {

// A failure worth another try: the connection refused or timed out, an FTP reply of 4xx
// (421 and 426 included) or 522 as the server's last word, an HTTP status of 5xx. responseCode
// is the client's GetLastResponseCode: the FTP reply code or the HTTP status, 0 for none. The
// FTP commands run every retry on a new connection.
bool IsTransient(const oru::shared::error::CRKError& error, Protocol protocol, long responseCode);

// Runs attempt (0 or the library's code); after a failure that transient() calls passing, and
// while retries remain, notes the retry on standard error (unless quiet), waits 1 s, 2 s,
// 4 s... (at most 10 s) and runs it again. Returns the last attempt's result.
int WithRetries(int retries, bool quiet, const std::string& label,
                const std::function<int()>& attempt, const std::function<bool()>& transient);

}  // namespace rktool
