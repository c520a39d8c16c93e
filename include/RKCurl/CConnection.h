// CConnection: the abstract base of the FTP and HTTP clients.
//
// Owns the per-object libcurl state: the easy handle, the response body and header texts, the
// libcurl error buffer, the host's options (secure, debug, progress callback) and the object's
// failure record m_error. Prepare() makes a fresh easy handle for the next request and sets the
// options that both protocols share; the first Prepare of the process also initialises libcurl.
//
// Handles: a copy shares its source's handle; the handle is released when the last object that
// holds it lets go (the protocol class's release, the next Prepare, or destruction), so it is
// never released twice and never leaks. The handle delivers into the buffers of the object that
// prepared it, as long as that object lives; once it is destroyed, the handle delivers nowhere
// and a transfer on it through a copy fails with libcurl's write error.
//
// Threading: one object, one thread at a time; no locks. Distinct objects share nothing but
// libcurl's process-wide initialisation (and, with SetReuseConnections, their own copies' cache).
//
// Layout: besides the members below, everything the library keeps per object lives behind one
// private pointer, so options added later change neither the size nor the layout of the class.
#pragma once

#include <cstddef>
#include <string>

#include "RKCurl/CNetworkSetting.h"
#include "RKCurl/CRKError.h"
#include "RKCurl/Export.h"
#include "RKCurl/StatePointer.h"

typedef void CURL;  // libcurl's easy handle, opaque here as in libcurl's own header

namespace rkcurl {
struct ConnectionAccess;
struct ConnectionState;
}  // namespace rkcurl

class RKCURL_API CConnection : public CNetworkSetting {
public:
    // libcurl's progress callback: client data, download total, downloaded, upload total,
    // uploaded. A non-zero result stops the transfer (libcurl result 42).
    typedef int (*ProgressCallback)(void* clientData, double downloadTotal, double downloadNow,
                                    double uploadTotal, double uploadNow);
    // Receives libcurl's verbose output: type is libcurl's curl_infotype (text, header in or
    // out, data in or out, TLS data in or out), data and size the bytes, not terminated. The
    // result is handed back to libcurl, which ignores it; return 0.
    typedef int (*DebugCallback)(void* clientData, int type, const char* data, std::size_t size);

    CConnection();
    CConnection(const CConnection& other);
    CConnection& operator=(const CConnection& other);
    virtual ~CConnection();

    // The code of the latest recorded failure, 0 after a successful preparation.
    virtual int Validate() = 0;

    // Makes a fresh easy handle with the shared options for the URL prefix + server + HREF
    // (the HREF as URL text, unchanged). Returns 0, or RKERR_GLOBAL_INIT (2504, once, after a
    // failed libcurl initialisation), RKERR_HANDLE_INIT (2505) or RKERR_SET_OPTION (2506) with
    // libcurl's result in m_error.
    virtual int Prepare(const std::wstring& prefix);

    // With the secure flag set, sets the certificate and host-name checks of the prepared
    // handle: off, or on with SetVerifyPeer (plus the CA file when one is set). Without the
    // secure flag it sets nothing. Returns 0 or RKERR_SET_OPTION (2506).
    virtual int PrepareSecurity();

    int SetSecure(int secure);
    int SetDebug(int debug);  // libcurl's verbose output on standard error
    int GetDebug();
    int SetProgressCallback(ProgressCallback callback);  // null: no progress from the next request

    // The failure record of the latest operation (m_error): codes and messages, read-only.
    const oru::shared::error::CRKError& GetError() const;
    // The server's reply and header lines collected so far (m_header), read-only.
    const std::string& GetHeaderText() const;
    // libcurl's response code of the latest transfer: the HTTP status, or the FTP server's
    // latest reply code. 0 when no transfer ran since the latest preparation.
    long GetLastResponseCode() const;

    // Non-zero: every handle this object (and its copies) prepares from now on shares a
    // connection cache, so consecutive requests reuse an open connection and its login. Off by
    // default; off, a request sets exactly the shared options and nothing else. There is one
    // cache per set of TLS settings (secure flag, SetVerifyPeer, CA file, TLS versions): a
    // connection opened with the certificate checks off, or against another CA file, is never
    // taken over by a request that checks. An FTP transfer that finds its cached connection
    // dropped by the server (421, or closed) before anything moved runs once more on a new one.
    int SetReuseConnections(int reuse);

    // Transfer limits in milliseconds for the connection phase and the whole request; a
    // transfer slower than bytesPerSecond for the given seconds is given up. 0: no limit
    // (libcurl's own defaults). A request that runs into one fails with libcurl's result 28.
    int SetConnectTimeout(long milliseconds);
    int SetTimeout(long milliseconds);
    int SetLowSpeedLimit(long bytesPerSecond, long seconds);

    // Non-zero: secure requests check the server's certificate chain and host name instead of
    // switching the checks off. The CA bundle file is used for the chain; null or empty:
    // libcurl's default bundle.
    int SetVerifyPeer(int verify);
    int SetCACertificateFile(const wchar_t* path);

    // The TLS versions that secure requests may negotiate: 10, 11, 12, 13 for TLS 1.0 to 1.3,
    // 0 for libcurl's default bound (the lowest it allows; the highest both sides know). With
    // both at 0, the default, nothing is set. Otherwise every secure request sets libcurl's
    // CURLOPT_SSLVERSION to the range after its certificate checks (for FTPS in place of the
    // default version). Any other value makes the next secure preparation fail with
    // RKERR_SET_OPTION (2506): libcurl refuses it. A range the server cannot meet fails the
    // request with libcurl's 35. SetTlsVersions(0, 12) keeps FTPS uploads to servers that send
    // TLS 1.3 session tickets on data connections (vsftpd) from losing their last bytes.
    int SetTlsVersions(int minimum, int maximum);

    // Null (the default): libcurl's choice, which honours the proxy environment variables.
    // L"": no proxy, the environment ignored. Otherwise the proxy URL to use.
    int SetProxy(const wchar_t* proxy);
    // The hosts reached without the proxy, in libcurl's form (a comma-separated list of host
    // names, domains and addresses; "*" for all). Null (the default): not set, libcurl's
    // choice (the no_proxy environment variable).
    int SetNoProxy(const wchar_t* hosts);

    // A netrc file (UTF-8 path) from which libcurl takes the user name and password for the
    // request's host when the URL carries none; credentials set on the object go first. Null
    // or empty (the default): no netrc file is read.
    int SetNetrcFile(const wchar_t* path);

    // Hands libcurl's verbose output to callback with clientData instead of standard error;
    // while a callback is set every request runs verbose. Null (the default): off.
    int SetDebugCallback(DebugCallback callback, void* clientData);

    // Copies the collected response body (no terminator) and sets length to its size. Size 0
    // only reports the length. Returns 0, or RKERR_BUFFER_TOO_SMALL (2503) without copying and
    // without touching m_error when the body is larger than size.
    int GetResponse(char* buffer, std::size_t size, std::size_t& length);

    // Empties the collected response body and header texts and gives their memory back, for
    // hosts that keep one object for many requests. Returns 0.
    int ClearResponse();

    // Fills error's messages from libcurl's description of extendedCode and the error buffer,
    // and writes the failure records. The caller has already stored the codes.
    void SetErrorString(int code, int extendedCode, oru::shared::error::CRKError& error);

protected:
    // The body and header sink: appends size * count bytes to target; 0 for a null target.
    static int WriteStream(char* data, std::size_t size, std::size_t count, std::string* target);

    void GetLastCurlError(char* buffer, std::size_t size);
    void GetLastCurlError(std::string& text);
    void ResetCurlErrorBuffer();

    // Textual path rules: backslashes to slashes; joining a path to a base; the path part of an
    // HREF that holds a whole URL.
    std::string Normalize(const std::string& path) const;
    std::string ConcatenateURL(const std::string& base, const std::string& path) const;
    std::string GetPathName() const;

    std::string m_response;
    std::string m_header;
    int m_debug = 0;
    ProgressCallback m_progressCallback = nullptr;
    oru::shared::error::CRKError m_error;
    CURL* m_curl = nullptr;
    int m_lastCurlCode = 0;
    int m_secure = 0;
    char m_curlErrorBuffer[256] = {};
    std::string m_userPassword;

private:
    // The library's own code reaches the members and the state through this seam.
    friend struct rkcurl::ConnectionAccess;

    rkcurl::StatePointer<rkcurl::ConnectionState> m_state;
};
