// Feeds arbitrary bytes to ParseListLine and checks what must always hold: the result is 0 or
// 1, and an accepted line's name and id lie inside the line. The input is copied into a buffer
// of exactly its size, so AddressSanitizer reports any read past the end of the line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ftp/listing/ListLineParser.h"
#include "ftp/listing/ListingDates.h"

namespace {

// A fixed "now", so that a finding replays the same way on any day.
std::int64_t FixedNow() {
    return 1772409600;
}  // 2026-03-02T00:00:00Z

bool Inside(const char* part, std::int32_t length, const char* line, std::size_t size) {
    return part != nullptr && length >= 0 && part >= line &&
           static_cast<std::size_t>(part - line) + static_cast<std::size_t>(length) <= size;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    rklisting::ListingClock = FixedNow;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20) return 0;
    std::unique_ptr<char[]> line(new char[size]);
    if (size != 0) std::memcpy(line.get(), data, size);

    rklisting::FtpListEntry entry{};
    const int result = rklisting::ParseListLine(entry, line.get(), static_cast<int>(size));
    if (result != 0 && result != 1) std::abort();
    if (result == 1) {
        if ((entry.mayBeDirectory | entry.mayBeFile) & ~1) std::abort();
        if (!Inside(entry.name, entry.nameLength, line.get(), size)) std::abort();
        if (entry.idKind == rklisting::IdUnique &&
            !Inside(entry.id, entry.idLength, line.get(), size)) {
            std::abort();
        }
    }
    return 0;
}
