# The HTTP client: the object, its write functions, the request sequence and the operations.
set(RKCURL_HTTP_SOURCES
    http/HttpClient.cpp
    http/RequestControls.cpp
    http/WriteFunctions.cpp
    http/HttpRequest.cpp
    http/PageRequests.cpp
    http/Downloads.cpp
    http/Uploads.cpp
    http/BufferDownload.cpp)
