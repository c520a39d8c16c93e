// Option resets of the FTP operations: each takes what its operation set off the handle again
// when it goes, so that the commands that later run on the handle left behind neither reach a
// freed list or a closed stream nor repeat the operation. They run on the handle that the
// operation used and keep their results to themselves, so the result that the operation
// reports (m_lastCurlCode) is the one of the failing call, not of the clean-up.
#pragma once

#include <curl/curl.h>

#include <string>

namespace rkcurl {
namespace ftp {

// Takes a quote list off the handle again before the list is freed, so that no later transfer
// on the handle can reach the freed list. Declare it after the list it guards.
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

// Takes an upload source off the handle again (upload off, default reader, no stream, size
// unknown) before the stream closes, so a later command on the handle neither uploads nor
// reads from a closed stream. Declare it after the stream it guards.
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

}  // namespace ftp
}  // namespace rkcurl
