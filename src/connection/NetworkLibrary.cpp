#include "connection/NetworkLibrary.h"

#include <curl/curl.h>

using oru::shared::error::CRKError;
using oru::shared::error::RKERR_GLOBAL_INIT;

CRKError g_InitError;

CNetworkLibrary::CNetworkLibrary() {
    g_InitError.reset();
    const CURLcode result = curl_global_init(CURL_GLOBAL_ALL);
    if (result != CURLE_OK) g_InitError.setErrorCD(RKERR_GLOBAL_INIT, result);
}

CNetworkLibrary::~CNetworkLibrary() { curl_global_cleanup(); }
