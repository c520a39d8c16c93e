// The handle restorers of the FTP operations: each puts the handle back as the preparation
// left it when it goes, taking off again what its operation set, so that the commands that
// later run on the handle left behind neither reach a freed list or a closed stream nor repeat
// the operation. They run on the handle that the
// operation used and keep their results to themselves, so the result that the operation
// reports (m_lastCurlCode) is the one of the failing call, not of the clean-up.
#pragma once

#include <curl/curl.h>

#include <string>

namespace rkcurl {
namespace ftp {

// Takes a quote list off the handle again before the list is freed, so that no later transfer
// on the handle can reach the freed list. Declare it after the list it guards.
class QuoteListRemover {
public:
    QuoteListRemover(CURL* handle, CURLoption option) : m_handle(handle), m_option(option) {}
    ~QuoteListRemover();
    QuoteListRemover(const QuoteListRemover&) = delete;
    QuoteListRemover& operator=(const QuoteListRemover&) = delete;

private:
    CURL* m_handle;
    CURLoption m_option;
};

// Takes a listing command off the handle again (CURLOPT_CUSTOMREQUEST back to LIST), so the
// commands that later run on the handle neither list nor send it.
class ListingCommandRemover {
public:
    explicit ListingCommandRemover(CURL* handle) : m_handle(handle) {}
    ~ListingCommandRemover();
    ListingCommandRemover(const ListingCommandRemover&) = delete;
    ListingCommandRemover& operator=(const ListingCommandRemover&) = delete;

private:
    CURL* m_handle;
};

// Takes an upload source off the handle again (upload off, default reader, no stream, size
// unknown) before the stream closes, so a later command on the handle neither uploads nor
// reads from a closed stream. Declare it after the stream it guards.
class UploadSourceRemover {
public:
    explicit UploadSourceRemover(CURL* handle) : m_handle(handle) {}
    ~UploadSourceRemover();
    UploadSourceRemover(const UploadSourceRemover&) = delete;
    UploadSourceRemover& operator=(const UploadSourceRemover&) = delete;

private:
    CURL* m_handle;
};

// Takes a resumed upload's options off the handle again (no offset, no seeking, no append), so
// a later command on the handle neither seeks a closed stream nor appends. Declare it after the
// FileStream it guards.
class UploadResumeRemover {
public:
    explicit UploadResumeRemover(CURL* handle) : m_handle(handle) {}
    ~UploadResumeRemover();
    UploadResumeRemover(const UploadResumeRemover&) = delete;
    UploadResumeRemover& operator=(const UploadResumeRemover&) = delete;

private:
    CURL* m_handle;
};

// Puts the prepared body sink (into body) back on the handle and takes a download offset off
// it again, so that a later transfer on the handle writes where it did before the download
// into a file. Declare it after the stream it guards.
class BodySinkRestorer {
public:
    BodySinkRestorer(CURL* handle, std::string* body) : m_handle(handle), m_body(body) {}
    ~BodySinkRestorer();
    BodySinkRestorer(const BodySinkRestorer&) = delete;
    BodySinkRestorer& operator=(const BodySinkRestorer&) = delete;

private:
    CURL* m_handle;
    std::string* m_body;
};

}  // namespace ftp
}  // namespace rkcurl
