# The per-call resources of a request: libcurl's string lists and forms, local files and the
# receive block of a buffer download.
set(RKCURL_RESOURCE_SOURCES
    resources/CurlResources.cpp
    resources/FileResources.cpp)
