#include "connection/NetworkLibrary.h"

#include <curl/curl.h>

#include <mutex>

using oru::shared::error::CRKError;
using oru::shared::error::RKERR_GLOBAL_INIT;

CRKError g_InitError;

namespace {

// Never destroyed: handles may be released by static destructors that run after this file's.
std::mutex& InitErrorMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

std::mutex& HoldersMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

int g_holders = 0;  // trivially destructible: valid until the process ends

}  // namespace

namespace rkcurl {

CRKError TakeInitError() {
    std::lock_guard<std::mutex> lock(InitErrorMutex());
    const CRKError waiting = g_InitError;
    g_InitError.reset();
    return waiting;
}

void ResetInitError() {
    std::lock_guard<std::mutex> lock(InitErrorMutex());
    g_InitError.reset();
}

void HoldNetworkLibrary() {
    std::lock_guard<std::mutex> lock(HoldersMutex());
    ++g_holders;
}

void ReleaseNetworkLibrary() {
    std::lock_guard<std::mutex> lock(HoldersMutex());
    if (--g_holders == 0) curl_global_cleanup();
}

}  // namespace rkcurl

CNetworkLibrary::CNetworkLibrary() {
    rkcurl::ResetInitError();
    const CURLcode result = curl_global_init(CURL_GLOBAL_ALL);
    if (result != CURLE_OK) {
        std::lock_guard<std::mutex> lock(InitErrorMutex());
        g_InitError.setErrorCD(RKERR_GLOBAL_INIT, result);
    }
    rkcurl::HoldNetworkLibrary();
}

CNetworkLibrary::~CNetworkLibrary() {
    rkcurl::ReleaseNetworkLibrary();
}
