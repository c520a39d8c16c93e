#include "ftp/tree/RemoteListing.h"

#include "ftp/listing/ListLineParser.h"
#include "ftp/listing/ListingDates.h"
#include "ftp/listing/MlsdLineParser.h"
#include "platform/LineEnd.h"

namespace rkcurl {
namespace ftp {

namespace {

std::int64_t PrecisionOf(rklisting::ListTimeKind kind) {
    switch (kind) {
        case rklisting::TimeAbsolute:
            return 1;
        case rklisting::TimeServerClock:
            return 60;
        case rklisting::TimeServerDate:
            return 24 * 60 * 60;
        case rklisting::TimeUnknown:
            return 0;
    }
    return 0;
}

TreeItem ItemOf(const rklisting::FtpListEntry& entry) {
    TreeItem item;
    item.name.assign(entry.name, static_cast<std::size_t>(entry.nameLength));
    if (entry.mayBeDirectory != 0 && entry.mayBeFile != 0) {
        item.kind = ItemKind::Link;  // or may be one: never followed
    } else if (entry.mayBeDirectory != 0) {
        item.kind = ItemKind::Directory;
    } else if (entry.mayBeFile == 0) {
        item.kind = ItemKind::Other;
    }
    item.sizeKnown = entry.sizeKind == rklisting::SizeBytes;
    item.size = entry.size64;
    item.precision = PrecisionOf(entry.timeKind);
    if (item.precision != 0) {
        item.time = entry.time - rklisting::s_timeBase.load(std::memory_order_relaxed);
    }
    return item;
}

}  // namespace

std::vector<TreeItem> ParseTreeListing(const std::string& body, bool machine) {
    // Split as the enumeration splits: at the platform's line end for LIST, at LF (a CR
    // before it dropped) for MLSD; text after the last line end is no line.
    const std::string lineEnd = machine ? "\n" : rkplatform::kListingLineEnd;
    std::vector<TreeItem> items;
    std::size_t start = 0;
    std::size_t end;
    while ((end = body.find(lineEnd, start)) != std::string::npos) {
        std::size_t length = end - start;
        if (machine && length > 0 && body[end - 1] == '\r') --length;
        const char* line = body.data() + start;
        start = end + lineEnd.size();
        rklisting::FtpListEntry entry{};
        const int size = static_cast<int>(length);
        const bool parsed =
            machine ? rklisting::ParseMlsdLine(entry, line, size) == rklisting::MlsdAccepted
                    : rklisting::ParseListLine(entry, line, size) == 1;
        if (parsed) items.push_back(ItemOf(entry));
    }
    return items;
}

}  // namespace ftp
}  // namespace rkcurl
