#include "ftp/listing/MlsdLineParser.h"

#include <cstdint>

#include "ftp/listing/Decimal.h"
#include "ftp/listing/ListingDates.h"
#include "platform/CivilCalendar.h"

namespace rklisting {

namespace {

struct Text {
    const char* data;
    int length;
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// text equals the lower-case word in any case.
bool Is(Text text, const char* word) {
    int k = 0;
    for (; k < text.length; ++k) {
        if (word[k] == '\0' || Lower(text.data[k]) != word[k]) return false;
    }
    return word[k] == '\0';
}

// text begins with the lower-case word in any case.
bool StartsWith(Text text, const char* word) {
    int k = 0;
    for (; word[k] != '\0'; ++k) {
        if (k >= text.length || Lower(text.data[k]) != word[k]) return false;
    }
    return true;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int Digits(const char* p, int count) {
    int value = 0;
    for (int k = 0; k < count; ++k) value = value * 10 + (p[k] - '0');
    return value;
}

// YYYYMMDDHHMMSS with an optional "." and fraction digits (dropped): seconds since 1970, UTC.
bool ReadModify(Text text, std::int64_t& seconds) {
    if (text.length < 14) return false;
    for (int k = 0; k < 14; ++k) {
        if (!IsDigit(text.data[k])) return false;
    }
    if (text.length > 14) {
        if (text.data[14] != '.' || text.length == 15) return false;
        for (int k = 15; k < text.length; ++k) {
            if (!IsDigit(text.data[k])) return false;
        }
    }
    const char* p = text.data;
    const int year = Digits(p, 4), month = Digits(p + 4, 2), day = Digits(p + 6, 2);
    const int hour = Digits(p + 8, 2), minute = Digits(p + 10, 2), second = Digits(p + 12, 2);
    // 60 is a leap second.
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
        return false;
    }
    // 64-bit days: the facts carry four-digit years, beyond the 32-bit seconds of LIST dates.
    seconds =
        rkplatform::DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

enum class EntryType { File, Directory, Listed, Link, Other };

EntryType ReadType(Text value) {
    if (Is(value, "file")) return EntryType::File;
    if (Is(value, "dir")) return EntryType::Directory;
    if (Is(value, "cdir") || Is(value, "pdir")) return EntryType::Listed;
    if (Is(value, "os.unix=symlink") || Is(value, "os.unix=slink")) return EntryType::Link;
    if (StartsWith(value, "os.unix=slink:")) return EntryType::Link;  // with its target
    return EntryType::Other;
}

}  // namespace

MlsdLineResult ParseMlsdLine(FtpListEntry& entry, const char* line, int length) {
    int space = 0;
    while (space < length && line[space] != ' ') ++space;
    if (space + 1 >= length) return MlsdRejected;  // no space, or nothing after it
    if (space > 0 && line[space - 1] != ';') return MlsdRejected;

    EntryType type = EntryType::File;
    for (int start = 0; start < space;) {
        int end = start;
        while (line[end] != ';') ++end;  // the facts end with ';' before the space
        int equals = start;
        while (equals < end && line[equals] != '=') ++equals;
        if (equals == start || equals == end) return MlsdRejected;  // no name, or no "="
        const Text name{line + start, equals - start};
        const Text value{line + equals + 1, end - equals - 1};
        if (Is(name, "type")) {
            type = ReadType(value);
        } else if (Is(name, "size")) {
            std::uint64_t size = 0;
            if (!ReadDecimal64(value.data, value.length, size)) return MlsdRejected;
            entry.sizeKind = SizeBytes;
            entry.size64 = size;
            entry.size = static_cast<std::int32_t>(static_cast<std::uint32_t>(size & 0xFFFFFFFFu));
        } else if (Is(name, "modify")) {
            std::int64_t seconds = 0;
            if (!ReadModify(value, seconds)) return MlsdRejected;
            InitTimeBase();
            entry.timeKind = TimeAbsolute;
            entry.time = s_timeBase.load(std::memory_order_relaxed) + seconds;
        } else if (Is(name, "unique")) {
            entry.idKind = IdUnique;
            entry.id = value.data;
            entry.idLength = value.length;
        }
        start = end + 1;
    }

    entry.name = line + space + 1;
    entry.nameLength = length - space - 1;
    entry.mayBeDirectory = type == EntryType::Directory || type == EntryType::Link;
    entry.mayBeFile = type == EntryType::File || type == EntryType::Link;
    return type == EntryType::Listed ? MlsdSkipped : MlsdAccepted;
}

}  // namespace rklisting
