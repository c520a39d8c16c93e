// CRFTP: the FTP and FTPS client.
//
// Every request goes to "ftp://" + server + HREF; the HREF doubles as the session's current
// remote directory. A preparing operation (Connect, GetFile, PostFile, PutFile, the directory
// operations, FindFirstFileW) makes a fresh easy handle and leaves it in the object until the
// next preparation or Close; the command operations (Command, DeleteFileW, RemoveDirectoryW,
// GetCurrentDirectoryW) run on that handle. With SetSecure(1) the whole session runs over TLS
// and the server's certificate is accepted unchecked. Every operation returns 0 or an RKERR_
// code that it also leaves in m_error; the listing operations return -1 for "no (further)
// entry". One object, one thread at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "RKCurl/CConnection.h"
#include "RKCurl/Export.h"
#include "RKCurl/WindowsTypes.h"

class RKCURL_API CRFTP : public CConnection {
public:
    CRFTP();
    CRFTP(const CRFTP& other);
    CRFTP& operator=(const CRFTP& other);
    virtual ~CRFTP();

    virtual int Validate();

    int Connect();
    int GetFile();
    int PostFile();
    int PutFile(const wchar_t* localPath);
    int Close();

    int Command(const std::vector<std::string>& commands, int post);
    int DeleteFileW(const wchar_t* path);
    int RemoveDirectoryW(const wchar_t* path);
    int GetCurrentDirectoryW(wchar_t* buffer, DWORD* length);

    int SetCurrentDirectoryW(const wchar_t* path);
    int CreateDirectoryW(const wchar_t* path);
    int CreateDirectoryTree(const wchar_t* path);

    int FindFirstFileW(WIN32_FIND_DATAW& findData);
    int FindNextFileW(WIN32_FIND_DATAW& findData);

    int RemoveDirectoryTree(const wchar_t* path);

protected:
    virtual int Prepare(const std::wstring& prefix);

    static size_t ReadFunc(void* destination, size_t size, size_t count, FILE* stream);

    std::vector<WIN32_FIND_DATAW> m_findData;
    std::uint64_t m_findIndex;
};
