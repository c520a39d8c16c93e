#include "connection/CurlHandle.h"

namespace rkcurl {

CurlShareOwner::CurlShareOwner() : share(curl_share_init()) {
    if (share != nullptr) curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
}

CurlShareOwner::~CurlShareOwner() {
    if (share != nullptr) curl_share_cleanup(share);
}

CurlHandleOwner::~CurlHandleOwner() {
    curl_easy_cleanup(handle);
    // share is released after the handle, as libcurl requires.
}

}  // namespace rkcurl
