// What CConnection keeps behind its state pointer: the handle it holds and the handles it
// prepared, the connection caches, and the opt-in controls of every request.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "RKCurl/CConnection.h"
#include "connection/CurlHandle.h"

namespace rkcurl {

// The opt-in controls; with every member at its default, a request sets none of them.
struct TransferControls {
    long connectTimeoutMs = 0;
    long timeoutMs = 0;
    long lowSpeedLimit = 0;
    long lowSpeedTime = 0;
    int verifyPeer = 0;
    std::string caFile;  // UTF-8; empty: libcurl's default
    bool proxySet = false;
    std::string proxy;  // UTF-8; empty with proxySet: no proxy at all
    bool noProxySet = false;
    std::string noProxy;    // UTF-8
    std::string netrcFile;  // UTF-8; empty: no netrc file
    CConnection::DebugCallback debugCallback = nullptr;
    void* debugData = nullptr;
    long tlsVersions = 0;  // CURLOPT_SSLVERSION's value for SetTlsVersions; 0: not set
};

struct ConnectionState {
    ConnectionState() = default;
    // A copy holds the same handle and cache pool and has the same controls; the handles
    // prepared by the source and its spare handle stay the source's.
    ConnectionState(const ConnectionState& other);
    // Lets go of this object's handle first.
    ConnectionState& operator=(const ConnectionState& other);
    // Lets go of the handle; handles this object prepared that copies still hold are pointed
    // away from the buffers that go with it.
    ~ConnectionState();

    // Lets go of the handle held; libcurl's handle is cleaned up once no copy holds it.
    void ReleaseHandle();
    // A handle for the next preparation: the spare one, reset, with reuse on; else a new one.
    // Null when libcurl makes none.
    CURL* AdoptFreshOrSpareHandle();
    // The TLS settings that decide which connection cache a request may reuse from.
    std::string TlsSettingsKey(bool secure) const;
    // What a copy takes over: the handle held, the cache pool, the controls.
    void CopyShared(const ConnectionState& other);

    std::shared_ptr<CurlHandleOwner> curlOwner;
    // Handles this object prepared that may still deliver into its buffers through copies.
    std::vector<std::weak_ptr<CurlHandleOwner>> preparedHandles;
    int reuseConnections = 0;
    std::shared_ptr<CurlSharePool> shares;
    // With reuse on: the last handle that only this object held, taken again by the next
    // preparation. Never copied.
    std::shared_ptr<CurlHandleOwner> spareHandle;
    TransferControls controls;
    long lastResponseCode = 0;  // of the latest transfer, 0 when none ran since the preparation
};

}  // namespace rkcurl

namespace rkcurl {

// Lets go of the object's handle (m_curl becomes null); libcurl's handle is cleaned up once no
// copy holds it.
void ReleaseHandle(CConnection& connection);

}  // namespace rkcurl
