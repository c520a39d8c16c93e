// CRHTTP: the HTTP and HTTPS client.
//
// Every request is one complete transfer on an easy handle of its own, made by Prepare at the
// start of the call and released before it returns. Pages and downloads are sent as
// multipart/form-data POSTs carrying the part "submit" = "send" and the object's form fields in
// name order; GetSOAPPage sends the SOAP body as a plain POST (or a GET without a body). With
// SetSecure(1) the URL is https:// and the server's certificate and host name are accepted
// unchecked. Every request returns 0 or an RKERR_ code that it also leaves in m_error (what() and
// Validate()), with libcurl's result as the extended code where a libcurl call failed; the
// messages and log records of a failure are those of CConnection::SetErrorString.
//
// The object owns its fields, SOAP texts and response text; per-call forms, header lists,
// streams and receive blocks live only for the call. One object, one thread at a time, no locks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "RKCurl/CConnection.h"
#include "RKCurl/Export.h"

namespace rkcurl {
struct HttpState;
}

class RKCURL_API CRHTTP : public CConnection {
public:
    // libcurl's write-callback shape: data, item size, item count, user data; returns the
    // amount accepted (less than offered stops the transfer with libcurl result 23).
    typedef size_t (*WriteCallback)(char* data, size_t size, size_t count, void* userData);

    // User data of WriteBufferCallbackFunc: a receive block of fixed capacity.
    struct WriteBufferData {
        std::uint64_t capacity;
        unsigned char* start;
        unsigned char* cursor;
        std::uint64_t length;
    };

    // User data of WriteBulkFileCallbackFunc: an appending stream and a running byte count.
    struct WriteBulkFileData {
        FILE* file;
        std::uint64_t bytesWritten;
    };

    CRHTTP();
    CRHTTP(const CRHTTP& other);
    // Assigns every member; the form fields are rebuilt from other's (left alone on
    // self-assignment).
    CRHTTP& operator=(const CRHTTP& other);
    virtual ~CRHTTP();

    // The code of the latest recorded failure, 0 after a successful preparation.
    virtual int Validate();

    // Setters: they never fail and never log. A null wide text counts as the empty text; a null
    // SOAP text empties the member. The posted fields and file size are only stored and copied:
    // no request sends them.
    int SetPostFields(const wchar_t* text);
    void SetSOAPHeader(const char* line);
    void SetSOAPPostData(const char* data);
    int SetPostedFileSize(std::uint64_t size);
    // The write function of the next GetFile or GetBulkFile without a path (used once; it
    // receives null user data). Null: that request writes to the response text.
    int SetWriteCallbackFunc(WriteCallback callback);
    // Adds or replaces a form field; fields go on the wire sorted by name (std::wstring order),
    // after the request's own parts. Returns 0.
    int AddMultiPartField(const wchar_t* name, const wchar_t* value);

    // Opt-in request controls; with none called every request is as described below. Each
    // returns 0, is copied with the object and takes effect from the next request.
    // Non-zero: GetPage, GetFile, GetBulkFile and GetBuffer send a plain GET without the form;
    // the fields stay in the object (GetBuffer then keeps them too).
    int SetPlainGet(int plain);
    // n > 0: every request follows up to n redirects (GetSOAPPage's own following is capped at
    // n); one more fails with 2509 and libcurl's 47. A followed redirect stays on http and
    // https: one to any other scheme (ftp://, file://, ...) fails with 2509 and libcurl's 1
    // (unsupported protocol), and so does one from an https request to http:// unless
    // SetAllowRedirectToHttp is on. 0: as described (GetSOAPPage follows as libcurl does).
    int SetFollowRedirects(long maxRedirects);
    // Non-zero: with SetFollowRedirects, an https request may be redirected to http (the rest of
    // the exchange then goes in clear text). 0, the default: it may not.
    int SetAllowRedirectToHttp(int allow);
    // A request header line ("Name: value") sent by every request after the request's own
    // lines; null or empty is ignored. ClearHeaders forgets every added line.
    int AddHeader(const wchar_t* line);
    int ClearHeaders();

    // POST multipart/form-data: "submit" = "send", then the fields (kept for the next request);
    // Accept-Encoding gzip,deflate,compress (the body is decoded), the fixed MSIE 6.0 user agent,
    // "Connection: Keep-Alive"; redirects are not followed. The body is appended to the response
    // text. Returns 0, the code of a failed Prepare, RKERR_SET_OPTION (2506: a TLS option refused)
    // or RKERR_PERFORM (2509; an HTTP status of 400 or more gives extended code 22).
    int GetPage();

    // With a SOAP body: POST of the body (up to its first zero byte); without one: GET. Headers
    // "Connection: Keep-Alive", "Content-type: text/html; charset=UTF8" and the SOAP header line
    // when set; the fixed user agent; redirects are followed; certificate checks are off even
    // over plain HTTP. No form: the fields are neither sent nor changed. The body is appended to
    // the response text. Returns 0, Prepare's code, 2506 (a TLS option or the body refused) or
    // 2509.
    int GetSOAPPage();

    // The multipart POST of GetPage without encoding, user agent or extra headers; the body
    // goes to the file at path (replaced, mode "wb", path as UTF-8), else to the stored write
    // callback, else to the response text. Afterwards the write callback is null (a caller's one
    // stays when no transfer ran). Fields are kept. Returns 0, Prepare's code, 2506,
    // RKERR_FILE_OPEN (2507, extended code 0) or 2509 (a full disk: extended code 23). A failed
    // transfer leaves the truncated or partly written file behind.
    int GetFile(const wchar_t* path);

    // As GetFile, but the file is appended to (mode "ab") and size, read on entry, grows by the
    // bytes written to the file, also when the transfer then fails. Without a path size is left
    // as it was.
    int GetBulkFile(const wchar_t* path, std::uint64_t& size);

    // A plain GET of the URL streamed into the file at localPath (path as UTF-8), in constant
    // memory; no form is sent (a multipart POST cannot be resumed): the fields, the write
    // callback and the response text are left alone. Trace "CRHTTP::GetFileTo".
    //   resume 0: the body is written to a new private file beside localPath (its name plus a
    //     ".rkpart-" suffix) and moved over localPath only when the whole body arrived and
    //     reached the disk; a replaced file keeps its permission bits, a new one gets the
    //     default ones. On any failure the temporary file is removed and localPath is untouched.
    //   resume non-zero: continues localPath from its current size with a range request
    //     (libcurl's resume offset, "Range: bytes=<size>-") and appends the 206 part; a missing
    //     or empty localPath is fetched whole. A server that ignores the range (200 and the
    //     whole body) fails with libcurl's 33 and nothing is written: fetch it again with
    //     resume 0. A local file as long as the remote one succeeds without a byte fetched (the
    //     server's 416 names that length); a longer one fails with libcurl's 36 (a 416 that
    //     names no length: 22). A broken-off transfer keeps what arrived, ready for the next
    //     resume.
    // The request controls (redirects, added headers) and the progress callback apply as for
    // every request. Returns 0, the preparation's code, RKERR_FILE_OPEN (2507, extended 0) when
    // the local file cannot be opened or made (checked before anything is sent), RKERR_SET_OPTION
    // (2506) or RKERR_PERFORM (2509) with libcurl's result; there is no further outer code, as
    // for every CRHTTP request. Writing, flushing or moving the local file into place counts as
    // the transfer (libcurl's write error, 23).
    int GetFileTo(const wchar_t* localPath, int resume);

    // POST multipart/form-data: the part "file_buffer" (file name "file_buffer", the length bytes
    // at data, read during the transfer), "submit" = "send", the fields. No user agent, no
    // extra headers. Once the transfer ran, successful or not, the fields are emptied. Returns 0,
    // Prepare's code, 2506, RKERR_ABORTED (2520, extended 42: the progress callback stopped it)
    // or 2509; a failed transfer also writes the records "Curl" and "Curl Error: %d".
    int PostBuffer(const unsigned char* data, int length);

    // POST multipart/form-data: the local file at path as the part fieldName ("FileField" when
    // null or empty), "submit" = "send", the fields; headers as GetPage. Once the transfer ran
    // the fields are emptied. Traced as "CRHTTP::PostPage". Returns 0, Prepare's code, 2506 or
    // 2509 (also for an unreadable file and for a stop by the progress callback, extended 42).
    int PostFile(const wchar_t* path, const wchar_t* fieldName);

    // The multipart POST of GetFile; the body is collected in a block of exactly size bytes and,
    // only when the transfer succeeds, copied to buffer with received = its length (a null
    // buffer gets nothing and received = 0). A longer body fails with 2509 / 23 and leaves
    // buffer and received untouched. Once the transfer ran the fields are emptied. Returns 0,
    // Prepare's code, 2506 or 2509; an unobtainable block throws std::bad_alloc.
    int GetBuffer(std::uint64_t size, unsigned char* buffer, std::uint64_t& received);

    // Hosts may hold sizes as unsigned long long, a type of its own where std::uint64_t is
    // unsigned long; these forward to the operations above.
    template <typename T, typename = std::enable_if_t<std::is_same<T, unsigned long long>::value &&
                                                      !std::is_same<T, std::uint64_t>::value>>
    int GetBulkFile(const wchar_t* path, T& size) {
        std::uint64_t value = size;
        const int result = GetBulkFile(path, value);
        size = value;
        return result;
    }
    template <typename T, typename = std::enable_if_t<std::is_same<T, unsigned long long>::value &&
                                                      !std::is_same<T, std::uint64_t>::value>>
    int GetBuffer(std::uint64_t size, unsigned char* buffer, T& received) {
        std::uint64_t value = received;
        const int result = GetBuffer(size, buffer, value);
        if (result == 0) received = value;
        return result;
    }

    // The download write functions. userData is a FILE*, a WriteBulkFileData or a
    // WriteBufferData; each returns the amount accepted.
    static size_t WriteFileCallbackFunc(char* data, size_t size, size_t count, void* userData);
    static size_t WriteBulkFileCallbackFunc(char* data, size_t size, size_t count, void* userData);
    static size_t WriteBufferCallbackFunc(char* data, size_t size, size_t count, void* userData);

protected:
    std::wstring m_postFields;
    std::uint64_t m_postedFileSize = UINT64_MAX;
    std::map<std::wstring, std::wstring> m_multiPartFields;
    WriteCallback m_writeCallback = nullptr;
    std::string m_soapPostData;
    std::string m_soapHeader;

private:
    // The library's own code reaches the members and the state through this seam.
    friend struct rkcurl::ConnectionAccess;

    // The opt-in request controls.
    rkcurl::StatePointer<rkcurl::HttpState> m_httpState;
};
