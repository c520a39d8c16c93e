// The handles of an object and its copies: who holds which, which one is kept for the next
// preparation, and where a handle delivers once the object that prepared it is gone.
#include "connection/ConnectionState.h"

#include <curl/curl.h>

#include <algorithm>

namespace rkcurl {

ConnectionState::ConnectionState(const ConnectionState& other) {
    CopyShared(other);
}

ConnectionState& ConnectionState::operator=(const ConnectionState& other) {
    if (this == &other) return *this;
    ReleaseHandle();
    CopyShared(other);
    return *this;
}

void ConnectionState::CopyShared(const ConnectionState& other) {
    curlOwner = other.curlOwner;
    reuseConnections = other.reuseConnections;
    shares = other.shares;
    controls = other.controls;
    lastResponseCode = other.lastResponseCode;
}

// The protocol classes decide when a handle is released; what is left here is this object's
// hold on it, and the handles it prepared that copies still hold: they deliver into this
// object's buffers, so they are pointed nowhere before the buffers go.
ConnectionState::~ConnectionState() {
    ReleaseHandle();
    for (const auto& prepared : preparedHandles) {
        const std::shared_ptr<CurlHandleOwner> owner = prepared.lock();
        if (!owner || owner->preparedBy != this) continue;
        curl_easy_setopt(owner->handle, CURLOPT_WRITEDATA, static_cast<void*>(nullptr));
        curl_easy_setopt(owner->handle, CURLOPT_HEADERDATA, static_cast<void*>(nullptr));
        curl_easy_setopt(owner->handle, CURLOPT_ERRORBUFFER, static_cast<char*>(nullptr));
        owner->preparedBy = nullptr;
    }
}

void ConnectionState::ReleaseHandle() {
    if (curlOwner && curlOwner.use_count() > 1 && curlOwner->preparedBy == this) {
        preparedHandles.push_back(curlOwner);  // a copy goes on using it
    } else if (curlOwner && reuseConnections != 0) {
        spareHandle = std::move(curlOwner);  // only this object held it
    }
    curlOwner.reset();
}

// With connection reuse on, the object's last handle is reset and prepared again instead of
// being replaced: a fresh handle costs every request a new internal poll set of libcurl (a
// socket pair and a dozen system calls), which is most of what a small request on a reused
// connection costs. Reset leaves nothing of the previous request's options behind.
CURL* ConnectionState::AdoptFreshOrSpareHandle() {
    ReleaseHandle();
    preparedHandles.erase(
        std::remove_if(preparedHandles.begin(), preparedHandles.end(),
                       [](const std::weak_ptr<CurlHandleOwner>& h) { return h.expired(); }),
        preparedHandles.end());
    if (reuseConnections != 0 && spareHandle) {
        curlOwner = std::move(spareHandle);
        curl_easy_reset(curlOwner->handle);
        curlOwner->preparedBy = this;
        return curlOwner->handle;
    }
    spareHandle.reset();
    CURL* const handle = curl_easy_init();
    if (handle == nullptr) return nullptr;
    curlOwner = std::make_shared<CurlHandleOwner>(handle, this);
    return handle;
}

// Plain requests share one cache, unchecked secure ones another, checked ones one per CA file;
// a chosen TLS version range keeps connections of its own.
std::string ConnectionState::TlsSettingsKey(bool secure) const {
    if (!secure) return "plain";
    const std::string versions =
        controls.tlsVersions != 0 ? "/tls:" + std::to_string(controls.tlsVersions) : "";
    if (controls.verifyPeer == 0) return "unchecked" + versions;
    return "checked" + versions + ":" + controls.caFile;
}

}  // namespace rkcurl
