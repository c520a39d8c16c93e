// Shared ownership of libcurl easy handles and connection caches.
//
// An object and its copies hold the same easy handle through one CurlHandleOwner; the handle is
// cleaned up when the last holder lets go. A handle that uses a shared connection cache keeps
// the cache alive, so the cache is cleaned up only after every handle attached to it.
#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>

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

// The connection caches of an object and its copies, one per set of TLS settings: libcurl
// (7.88) hands an FTP connection that was upgraded to TLS to any later request for the same
// server without comparing the certificate checks it was opened with, so a request with the
// checks on would run unchecked on a connection opened with them off.
class CurlSharePool {
public:
    // The cache for requests with these settings, made on first use.
    std::shared_ptr<CurlShareOwner> For(const std::string& tlsSettings);

private:
    std::mutex m_lock;  // copies may prepare on different threads
    std::map<std::string, std::shared_ptr<CurlShareOwner>> m_caches;
};

struct CurlHandleOwner {
    CURL* handle = nullptr;
    const void* preparedBy = nullptr;  // the object whose buffers the handle delivers into
    std::shared_ptr<CurlShareOwner> share;
    // The handle's own multi handle for transfers on a shared cache (PerformPolled), made on
    // first use; the easy handle is attached to it only while a transfer runs.
    CURLM* multi = nullptr;
    // The host's debug callback and its data (SetDebugCallback), as the handle was prepared:
    // libcurl's debug data points here, which lives as long as the handle.
    int (*debugCallback)(void*, int, const char*, std::size_t) = nullptr;
    void* debugData = nullptr;

    CurlHandleOwner(CURL* h, const void* owner);
    ~CurlHandleOwner();
    CurlHandleOwner(const CurlHandleOwner&) = delete;
    CurlHandleOwner& operator=(const CurlHandleOwner&) = delete;
};

}  // namespace rkcurl
