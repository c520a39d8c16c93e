// CRHTTP: the HTTP and HTTPS client.
//
// Every request is one complete transfer on an easy handle of its own, released before the call
// returns. Pages and downloads are sent as multipart/form-data POSTs carrying the part
// "submit" = "send" and the object's form fields in name order; GetSOAPPage sends the SOAP body
// as a plain POST (or a GET without a body). With SetSecure(1) the URL is https:// and the
// server's certificate is accepted unchecked. Every request returns 0 or an RKERR_ code that it
// also leaves in m_error. One object, one thread at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "RKCurl/CConnection.h"
#include "RKCurl/Export.h"

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
    CRHTTP& operator=(const CRHTTP& other);
    virtual ~CRHTTP();

    virtual int Validate();

    int SetPostFields(const wchar_t* text);
    void SetSOAPHeader(const char* line);
    void SetSOAPPostData(const char* data);
    int SetPostedFileSize(std::uint64_t size);
    int SetWriteCallbackFunc(WriteCallback callback);
    int AddMultiPartField(const wchar_t* name, const wchar_t* value);

    int GetPage();
    int GetSOAPPage();
    int GetFile(const wchar_t* path);
    int GetBulkFile(const wchar_t* path, std::uint64_t& size);
    int PostBuffer(const unsigned char* data, int length);
    int PostFile(const wchar_t* path, const wchar_t* fieldName);
    int GetBuffer(std::uint64_t size, unsigned char* buffer, std::uint64_t& received);

    static size_t WriteFileCallbackFunc(char* data, size_t size, size_t count, void* userData);
    static size_t WriteBulkFileCallbackFunc(char* data, size_t size, size_t count, void* userData);
    static size_t WriteBufferCallbackFunc(char* data, size_t size, size_t count, void* userData);

protected:
    std::wstring m_postFields;
    std::uint64_t m_postedFileSize;
    std::map<std::wstring, std::wstring> m_multiPartFields;
    WriteCallback m_writeCallback;
    std::string m_soapPostData;
    std::string m_soapHeader;
};
