#include "connection/CurlHandle.h"

#include "connection/NetworkLibrary.h"

namespace rkcurl {

namespace {

void LockShared(CURL*, curl_lock_data data, curl_lock_access, void* owner) {
    static_cast<CurlShareOwner*>(owner)->Lock(data);
}

void UnlockShared(CURL*, curl_lock_data data, void* owner) {
    static_cast<CurlShareOwner*>(owner)->Unlock(data);
}

}  // namespace

CurlShareOwner::CurlShareOwner() {
    HoldNetworkLibrary();
    share = curl_share_init();
    if (share == nullptr) return;
    // Copies of an object may run on different threads: libcurl takes these locks around
    // every use of the shared cache.
    const curl_lock_function lock = &LockShared;
    const curl_unlock_function unlock = &UnlockShared;
    curl_share_setopt(share, CURLSHOPT_LOCKFUNC, lock);
    curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, unlock);
    curl_share_setopt(share, CURLSHOPT_USERDATA, static_cast<void*>(this));
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
}

CurlShareOwner::~CurlShareOwner() {
    if (share != nullptr) curl_share_cleanup(share);
    ReleaseNetworkLibrary();
}

void CurlShareOwner::Lock(curl_lock_data data) {
    m_locks[static_cast<std::size_t>(data) % kLockCount].lock();
}

void CurlShareOwner::Unlock(curl_lock_data data) {
    m_locks[static_cast<std::size_t>(data) % kLockCount].unlock();
}

std::shared_ptr<CurlShareOwner> CurlSharePool::For(const std::string& tlsSettings) {
    const std::lock_guard<std::mutex> hold(m_lock);
    std::shared_ptr<CurlShareOwner>& cache = m_caches[tlsSettings];
    if (!cache) cache = std::make_shared<CurlShareOwner>();
    return cache;
}

CurlHandleOwner::CurlHandleOwner(CURL* h, const void* owner) : handle(h), preparedBy(owner) {
    HoldNetworkLibrary();
}

CurlHandleOwner::~CurlHandleOwner() {
    curl_easy_cleanup(handle);
    share.reset();  // after the handle, as libcurl requires
    ReleaseNetworkLibrary();
}

}  // namespace rkcurl
