// Owners of the per-call libcurl and C runtime resources of an HTTP request. Each releases what
// it holds exactly once: explicitly through Release(), or at the end of its scope on any path.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace rkcurl {

// A multipart form built with curl_formadd; libcurl reads it until the transfer returns.
// The results of curl_formadd are deliberately not looked at: a part libcurl refuses is left out.
class CurlForm {
public:
    CurlForm() = default;
    ~CurlForm() { Release(); }
    CurlForm(const CurlForm&) = delete;
    CurlForm& operator=(const CurlForm&) = delete;

    // A text part; libcurl copies name and contents.
    void AddText(const std::string& name, const std::string& contents);
    // A file-upload part whose contents libcurl reads from the caller's memory during the transfer.
    void AddBuffer(const char* name, const char* fileName, const unsigned char* data, int length);
    // A file-upload part whose contents libcurl reads from the local file at path.
    void AddFile(const std::string& name, const std::string& path);

    curl_httppost* First() const { return m_first; }
    void Release();

private:
    curl_httppost* m_first = nullptr;
    curl_httppost* m_last = nullptr;
};

// A list of request header lines.
class HeaderList {
public:
    HeaderList() = default;
    ~HeaderList() { Release(); }
    HeaderList(const HeaderList&) = delete;
    HeaderList& operator=(const HeaderList&) = delete;

    // Appends a line; a line libcurl cannot copy is left out and the list kept.
    void Append(const char* line);
    curl_slist* Get() const { return m_list; }
    void Release();

private:
    curl_slist* m_list = nullptr;
};

// A C stream opened by the request.
class FileStream {
public:
    FileStream() = default;
    ~FileStream() { Close(); }
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // Opens path (wide, reaching the file system through the runtime's wide open); false on
    // failure.
    bool Open(const wchar_t* path, const wchar_t* mode);
    std::FILE* Get() const { return m_file; }
    // Closes the file; false when its last bytes could not be written.
    bool Close();

private:
    std::FILE* m_file = nullptr;
};

// The receive block of a buffer download: one allocation of exactly the caller's capacity,
// left uninitialised (the transfer fills what is used). On Linux a large block is mapped with
// transparent huge pages: first-touch page faults would otherwise cost more than the transfer.
class ReceiveBlock {
public:
    ReceiveBlock() = default;
    ~ReceiveBlock() { Release(); }
    ReceiveBlock(const ReceiveBlock&) = delete;
    ReceiveBlock& operator=(const ReceiveBlock&) = delete;

    // Throws std::bad_alloc when the block cannot be had.
    void Allocate(std::uint64_t size);
    unsigned char* Get() const { return m_block; }
    void Release();

private:
    unsigned char* m_block = nullptr;
    std::size_t m_size = 0;
    bool m_mapped = false;
};

}  // namespace rkcurl
