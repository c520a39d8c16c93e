// The write functions that downloads hand to libcurl as CURLOPT_WRITEFUNCTION.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "RKCurl/CRHTTP.h"

size_t CRHTTP::WriteFileCallbackFunc(char* data, size_t size, size_t count, void* userData) {
    return std::fwrite(data, size, count, static_cast<FILE*>(userData));
}

// Counts a block only once it has left the stream's buffer, so that the count says what
// reached the file even when the disk fills up before the close.
size_t CRHTTP::WriteBulkFileCallbackFunc(char* data, size_t size, size_t count, void* userData) {
    WriteBulkFileData& record = *static_cast<WriteBulkFileData*>(userData);
    const size_t written = std::fwrite(data, size, count, record.file);
    if (std::fflush(record.file) != 0) return 0;
    record.bytesWritten += written;
    return written;
}

// Never writes past the block: a body longer than the capacity is cut to the room left, and
// the short result makes libcurl fail the transfer.
size_t CRHTTP::WriteBufferCallbackFunc(char* data, size_t size, size_t count, void* userData) {
    WriteBufferData& record = *static_cast<WriteBufferData*>(userData);
    const std::uint64_t offered = static_cast<std::uint64_t>(size) * count;
    const std::uint64_t taken = std::min(offered, record.capacity - record.length);
    if (taken != 0) std::memcpy(record.cursor, data, static_cast<size_t>(taken));
    record.cursor += taken;
    record.length += taken;
    return static_cast<size_t>(taken);
}
