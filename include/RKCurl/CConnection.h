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
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "RKCurl/CNetworkSetting.h"
#include "RKCurl/CRKError.h"
#include "RKCurl/Export.h"

typedef void CURL;  // libcurl's easy handle, opaque here as in libcurl's own header

namespace rkcurl {
struct ConnectionAccess;
struct CurlHandleOwner;
class CurlSharePool;
}  // namespace rkcurl

class RKCURL_API CConnection : public CNetworkSetting {
public:
    // libcurl's progress callback: client data, download total, downloaded, upload total,
    // uploaded. A non-zero result stops the transfer (libcurl result 42).
    typedef int (*ProgressCallback)(void* clientData, double downloadTotal, double downloadNow,
                                    double uploadTotal, double uploadNow);

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

    // With the secure flag set, turns certificate and host-name checks off on the prepared
    // handle. Returns 0 or RKERR_SET_OPTION (2506).
    virtual int PrepareSecurity();

    int SetSecure(int secure);
    int SetDebug(int debug);  // libcurl's verbose output on standard error
    int GetDebug();
    int SetProgressCallback(ProgressCallback callback);  // null: no progress from the next request

    // Non-zero: every handle this object (and its copies) prepares from now on shares a
    // connection cache, so consecutive requests reuse an open connection and its login. Off by
    // default; off, a request sets exactly the shared options and nothing else. There is one
    // cache per set of TLS settings (secure flag, SetVerifyPeer, CA file): a connection opened
    // with the certificate checks off, or against another CA file, is never taken over by a
    // request that checks.
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

    // Null (the default): libcurl's choice, which honours the proxy environment variables.
    // L"": no proxy, the environment ignored. Otherwise the proxy URL to use.
    int SetProxy(const wchar_t* proxy);

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

    // The work of Prepare for a URL that the caller composed (UTF-8): the protocol classes
    // whose paths are not URL text compose their own and prepare through this.
    int PrepareUrl(const std::string& url);

    // Records a failure: setErrorCD(code, extendedCode) on m_error, then SetErrorString.
    // Returns the code.
    int RecordFailure(int code, int extendedCode);

    // Lets go of the easy handle; libcurl's handle is cleaned up once no copy holds it.
    void ReleaseHandle();

    // Sets the certificate checks of a secure request: switched off, or on with SetVerifyPeer,
    // plus the CA bundle when one is set. True when libcurl took every option.
    bool SetCertificateChecks();

    std::string m_response;
    std::string m_header;
    int m_debug;
    ProgressCallback m_progressCallback;
    oru::shared::error::CRKError m_error;
    CURL* m_curl;
    int m_lastCurlCode;
    int m_secure;
    char m_curlErrorBuffer[256];
    std::string m_userPassword;

private:
    // The library's own code sets libcurl options on m_curl through this seam.
    friend struct rkcurl::ConnectionAccess;

    void AdoptFreshOrSpareHandle();
    int SetSharedOptions(const std::string& url);
    int SetTransferControls();
    // The TLS settings that decide which connection cache a request may reuse from.
    std::string TlsSettingsKey() const;

    // The opt-in controls; with every member at its default, a request sets none of them.
    struct TransferControls {
        long connectTimeoutMs = 0;
        long timeoutMs = 0;
        long lowSpeedLimit = 0;
        long lowSpeedTime = 0;
        int verifyPeer = 0;
        std::string caFile;  // UTF-8; empty: libcurl's default
        bool proxySet = false;
        std::string proxy;  // UTF-8; empty with proxySet: no proxy at all
    };

    std::shared_ptr<rkcurl::CurlHandleOwner> m_curlOwner;
    // Handles this object prepared that may still deliver into its buffers through copies.
    std::vector<std::weak_ptr<rkcurl::CurlHandleOwner>> m_preparedHandles;
    int m_reuseConnections;
    std::shared_ptr<rkcurl::CurlSharePool> m_shares;
    // With reuse on: the last handle that only this object held, taken again by the next
    // preparation. Never copied.
    std::shared_ptr<rkcurl::CurlHandleOwner> m_spareHandle;
    TransferControls m_controls;
};
