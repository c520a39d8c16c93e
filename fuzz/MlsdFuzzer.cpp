// Feeds arbitrary bytes to ParseMlsdLine and checks what must always hold: the result is one
// of the three, and an accepted line's name and id lie inside the line. The input is copied
// into a buffer of exactly its size, so AddressSanitizer reports any read past the end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ftp/listing/MlsdLineParser.h"

namespace {

bool Inside(const char* part, std::int32_t length, const char* line, std::size_t size) {
    return part != nullptr && length >= 0 && part >= line &&
           static_cast<std::size_t>(part - line) + static_cast<std::size_t>(length) <= size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20) return 0;
    std::unique_ptr<char[]> line(new char[size]);
    if (size != 0) std::memcpy(line.get(), data, size);

    rklisting::FtpListEntry entry{};
    const int result = rklisting::ParseMlsdLine(entry, line.get(), static_cast<int>(size));
    if (result != rklisting::MlsdRejected && result != rklisting::MlsdAccepted &&
        result != rklisting::MlsdSkipped) {
        std::abort();
    }
    if (result == rklisting::MlsdAccepted) {
        if ((entry.mayBeDirectory | entry.mayBeFile) & ~1) std::abort();
        if (entry.nameLength < 1 || !Inside(entry.name, entry.nameLength, line.get(), size)) {
            std::abort();
        }
        if (entry.idKind == rklisting::IdUnique &&
            !Inside(entry.id, entry.idLength, line.get(), size)) {
            std::abort();
        }
        // The name follows the first space.
        if (std::memchr(line.get(), ' ', static_cast<std::size_t>(entry.name - line.get())) !=
            entry.name - 1) {
            std::abort();
        }
    }
    return 0;
}
