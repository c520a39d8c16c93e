// Owners of the per-call libcurl and C runtime resources of a request, shared by both
// protocols. Each releases what it holds exactly once: explicitly through Release() or
// Close(), or at the end of its scope on any path.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace rkcurl {

// What a string list does when libcurl cannot copy a line.
enum class FailedLine {
    Throw,    // std::bad_alloc, the list freed: a request without the line would be another one
    LeaveOut  // the line is left out and the list kept: the request goes ahead without it
};

// A libcurl string list (commands, header lines); libcurl reads it until the transfer returns.
class CurlStringList {
public:
    explicit CurlStringList(FailedLine onFailure) : m_onFailure(onFailure) {}
    ~CurlStringList() { Release(); }
    CurlStringList(const CurlStringList&) = delete;
    CurlStringList& operator=(const CurlStringList&) = delete;

    void Append(const char* line);
    curl_slist* Get() const { return m_list; }
    void Release();

private:
    FailedLine m_onFailure;
    curl_slist* m_list = nullptr;
};

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

// A C stream opened by the request. A failed open is the caller's to report.
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
    explicit operator bool() const { return m_file != nullptr; }
    // The stream's size in bytes, or -1 when it cannot be told (a pipe, a device). The
    // position is back at the start afterwards.
    curl_off_t Size() const;
    // Closes the file; false when its last bytes could not be written.
    bool Close();

private:
    std::FILE* m_file = nullptr;
};

// A download written under a temporary name beside its target, so the target changes only
// when the whole file arrived. Private (owner only) while it fills; Commit gives it the
// target's permission bits (a new target's: the default ones) before moving it into place.
// Removed with its owner unless Commit put it in the target's place.
class PendingFile {
public:
    explicit PendingFile(const std::wstring& target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    std::FILE* Get() const { return m_file; }
    explicit operator bool() const { return m_file != nullptr; }

    // Flushes and closes the file, then moves it over the target. True when all of it worked.
    bool Commit();

private:
    std::wstring m_target;
    std::wstring m_name;
    std::FILE* m_file;
    bool m_committed = false;
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
