// Owners of the per-call libcurl and C runtime resources of the FTP operations.
//
// Each one releases what it holds on every exit path of the operation, exactly once. The
// option resets run on the handle that the operation used and keep their results to
// themselves, so the result that the operation reports (m_lastCurlCode) is the one of the
// failing call, not of the clean-up.
#pragma once

#include <curl/curl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace rkcurl {
namespace ftp {

// A libcurl string list built from the caller's commands; freed with its owner.
class CommandList {
public:
    explicit CommandList(const std::vector<std::string>& commands);
    ~CommandList() { curl_slist_free_all(m_list); }
    CommandList(const CommandList&) = delete;
    CommandList& operator=(const CommandList&) = delete;

    curl_slist* get() const { return m_list; }

private:
    curl_slist* m_list = nullptr;
};

// Takes a quote list off the handle again before the list is freed, so that no later transfer
// on the handle can reach the freed list. Declare it after the CommandList it guards.
class QuoteListDetach {
public:
    QuoteListDetach(CURL* handle, CURLoption option) : m_handle(handle), m_option(option) {}
    ~QuoteListDetach();
    QuoteListDetach(const QuoteListDetach&) = delete;
    QuoteListDetach& operator=(const QuoteListDetach&) = delete;

private:
    CURL* m_handle;
    CURLoption m_option;
};

// Takes a listing command off the handle again (CURLOPT_CUSTOMREQUEST back to LIST), so the
// commands that later run on the handle neither list nor send it.
class CustomRequestDetach {
public:
    explicit CustomRequestDetach(CURL* handle) : m_handle(handle) {}
    ~CustomRequestDetach();
    CustomRequestDetach(const CustomRequestDetach&) = delete;
    CustomRequestDetach& operator=(const CustomRequestDetach&) = delete;

private:
    CURL* m_handle;
};

// A C stream, closed with its owner.
class FileStream {
public:
    explicit FileStream(std::FILE* file) : m_file(file) {}
    ~FileStream() {
        if (m_file != nullptr) std::fclose(m_file);
    }
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    std::FILE* get() const { return m_file; }
    explicit operator bool() const { return m_file != nullptr; }

    // The stream's size in bytes, or -1 when it cannot be told (a pipe, a device).
    curl_off_t Size() const;

private:
    std::FILE* m_file;
};

// Takes an upload source off the handle again (upload off, default reader, no stream, size
// unknown) before the stream closes, so a later command on the handle neither uploads nor
// reads from a closed stream. Declare it after the FileStream it guards.
class UploadDetach {
public:
    explicit UploadDetach(CURL* handle) : m_handle(handle) {}
    ~UploadDetach();
    UploadDetach(const UploadDetach&) = delete;
    UploadDetach& operator=(const UploadDetach&) = delete;

private:
    CURL* m_handle;
};

// Takes a resumed upload's options off the handle again (no offset, no seeking, no append), so
// a later command on the handle neither seeks a closed stream nor appends. Declare it after the
// FileStream it guards.
class UploadResumeDetach {
public:
    explicit UploadResumeDetach(CURL* handle) : m_handle(handle) {}
    ~UploadResumeDetach();
    UploadResumeDetach(const UploadResumeDetach&) = delete;
    UploadResumeDetach& operator=(const UploadResumeDetach&) = delete;

private:
    CURL* m_handle;
};

// Puts the prepared body sink (into body) back on the handle and takes a download offset off
// it again, so that a later transfer on the handle writes where it did before the download
// into a file. Declare it after the stream it guards.
class DownloadDetach {
public:
    DownloadDetach(CURL* handle, std::string* body) : m_handle(handle), m_body(body) {}
    ~DownloadDetach();
    DownloadDetach(const DownloadDetach&) = delete;
    DownloadDetach& operator=(const DownloadDetach&) = delete;

private:
    CURL* m_handle;
    std::string* m_body;
};

// A download written under a temporary name beside its target, so the target changes only
// when the whole file arrived. Removed with its owner unless Commit put it in the target's
// place.
class PendingFile {
public:
    explicit PendingFile(const std::wstring& target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    std::FILE* get() const { return m_file; }
    explicit operator bool() const { return m_file != nullptr; }

    // Flushes and closes the file, then moves it over the target. True when all of it worked.
    bool Commit();

private:
    std::wstring m_target;
    std::wstring m_name;
    std::FILE* m_file;
    bool m_committed = false;
};

}  // namespace ftp
}  // namespace rkcurl
