// Shared ownership of libcurl easy handles and connection caches.
//
// An object and its copies hold the same easy handle through one CurlHandleOwner; the handle is
// cleaned up when the last holder lets go. A handle that uses a shared connection cache keeps
// the cache alive, so the cache is cleaned up only after every handle attached to it.
#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <memory>
#include <mutex>

namespace rkcurl {

struct CurlShareOwner {
    CURLSH* share = nullptr;

    CurlShareOwner();
    ~CurlShareOwner();
    CurlShareOwner(const CurlShareOwner&) = delete;
    CurlShareOwner& operator=(const CurlShareOwner&) = delete;

    // The lock and unlock callbacks of the cache: one mutex per kind of shared data.
    void Lock(curl_lock_data data);
    void Unlock(curl_lock_data data);

private:
    static constexpr std::size_t kLockCount = CURL_LOCK_DATA_LAST;
    std::mutex m_locks[kLockCount];
};

struct CurlHandleOwner {
    CURL* handle = nullptr;
    const void* preparedBy = nullptr;  // the object whose buffers the handle delivers into
    std::shared_ptr<CurlShareOwner> share;

    CurlHandleOwner(CURL* h, const void* owner);
    ~CurlHandleOwner();
    CurlHandleOwner(const CurlHandleOwner&) = delete;
    CurlHandleOwner& operator=(const CurlHandleOwner&) = delete;
};

}  // namespace rkcurl
