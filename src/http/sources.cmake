# The HTTP client: the object, its request controls and write functions, what every operation
# adds to the request core, and the operations.
set(RKCURL_HTTP_SOURCES
    http/BufferDownload.cpp
    http/CRHTTP.cpp
    http/Downloads.cpp
    http/HttpOperation.cpp
    http/PageRequests.cpp
    http/RequestControls.cpp
    http/ResumableDownload.cpp
    http/Uploads.cpp
    http/WriteFunctions.cpp)
