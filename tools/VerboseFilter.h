// -v: libcurl's verbose trace on standard error, as libcurl itself writes it, but with the
// login masked. libcurl shows it in the trace: "PASS <password>" for FTP, "Authorization:
// Basic ..." for HTTP. The library hands every piece of the trace to a debug callback, which
// masks it before writing it.
#pragma once

#include <cstddef>
#include <string>

namespace rktool {

// Masks the places a trace shows a password, in each line of text: the argument of an FTP
// "PASS" command, the credentials of an "Authorization:" or "Proxy-Authorization:" header
// (its scheme word kept) and the password of a "scheme://user:password@" URL. Nothing else
// is touched, so a short password never mangles the rest of the trace.
std::string MaskSecrets(const std::string& text);

// One piece of the trace as libcurl writes it without a callback, masked: its own text after
// "* ", headers received after "< " and sent after "> " (an HTTP request's header block is one
// piece), the data itself not at all. type is libcurl's curl_infotype.
std::string MaskedTrace(int type, const char* data, std::size_t size);

// The library's debug callback for -v: MaskedTrace on standard error. clientData is unused.
int WriteVerboseTrace(void* clientData, int type, const char* data, std::size_t size);

}  // namespace rktool
