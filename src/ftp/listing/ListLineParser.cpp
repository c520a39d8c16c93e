#include "ftp/listing/ListLineParser.h"

#include <cstring>

#include "ftp/listing/Decimal.h"
#include "ftp/listing/ListingDates.h"
#include "ftp/listing/SpaceTokens.h"
#include "ftp/listing/Wrap32.h"

namespace rklisting {

using wrap32::Add;
using wrap32::Mul;
using wrap32::Sub;

std::int32_t ReadDecimal(const char* field, int length) {
    std::uint32_t value = 0;
    for (int k = 0; k < length; ++k) {
        const std::int32_t digit = static_cast<signed char>(field[k]) - '0';
        value = value * 10u + static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::int32_t>(value);
}

std::uint64_t ReadSize64(const char* field, int length) {
    const std::uint64_t low = static_cast<std::uint32_t>(ReadDecimal(field, length));
    std::uint64_t value = 0;
    if (!ReadDecimal64(field, length, value)) return low;  // as the 32-bit rule
    return value > UINT32_MAX ? value : low;
}

namespace {

// Both readings of a size field.
void SetSize(FtpListEntry& entry, const char* field, int length) {
    entry.size = ReadDecimal(field, length);
    entry.size64 = ReadSize64(field, length);
}

// A time composed from 32-bit terms, each sign-extended, plus the time base.
std::int64_t ComposeTime(std::int32_t dateSeconds, std::int32_t hour, std::int32_t minute) {
    InitTimeBase();
    return s_timeBase.load(std::memory_order_relaxed) + std::int64_t{dateSeconds} +
           std::int64_t{Mul(hour, 3600)} + std::int64_t{Mul(minute, 60)};
}

// A position in a VMS or MS-DOS line. Every scan tests the byte at the position first and
// fails as soon as the position reaches the end of the line, so a line that stops short of
// its last field is rejected rather than read past.
struct Cursor {
    const char* line;
    int length;
    int pos;

    // Advances while the byte is not x.
    bool RunTo(char x) {
        for (; pos < length; ++pos) {
            if (line[pos] == x) return true;
        }
        return false;
    }
    // Advances while the byte is neither x nor y.
    bool RunToEither(char x, char y) {
        for (; pos < length; ++pos) {
            if (line[pos] == x || line[pos] == y) return true;
        }
        return false;
    }
    // Advances while the byte is x.
    bool PassRun(char x) {
        for (; pos < length; ++pos) {
            if (line[pos] != x) return true;
        }
        return false;
    }
    // Advances one byte.
    bool Step() { return ++pos < length; }
    // ReadDecimal of the bytes from start up to the position.
    std::int32_t ValueFrom(int start) const { return ReadDecimal(line + start, pos - start); }
};

// '+' then facts ended by commas, a TAB, the name.
int ParseEplf(FtpListEntry& entry, const char* line, int length) {
    int f = 1;
    for (int j = 1; j < length; ++j) {
        if (line[j] == '\t') {
            entry.name = line + j + 1;
            entry.nameLength = length - j - 1;
            return 1;
        }
        if (line[j] != ',') continue;
        const char* rest = line + f + 1;
        const int restLength = j - f - 1;
        switch (f < j ? line[f] : ',') {
            case '/':
                entry.mayBeDirectory = 1;
                break;
            case 'r':
                entry.mayBeFile = 1;
                break;
            case 's':
                entry.sizeKind = SizeBytes;
                SetSize(entry, rest, restLength);
                break;
            case 'm':
                InitTimeBase();
                entry.timeKind = TimeAbsolute;
                entry.time = s_timeBase.load(std::memory_order_relaxed) +
                             std::int64_t{ReadDecimal(rest, restLength)};
                break;
            case 'i':
                entry.idKind = IdUnique;
                entry.id = rest;
                entry.idLength = restLength;
                break;
            default:
                break;
        }
        f = j + 1;
    }
    return 0;
}

// The fields of a Unix "ls -l" line up to the name: permissions, link count, owner, group,
// size, month, day, time or year. The columns before the month are counted loosely, so that
// missing or extra columns still find the size and the date. Written as straight-line steps
// rather than a state loop: the steps follow each other in the same order on every line.
// Returns the position where the name starts, or -1 when the line ends before it.
int WalkUnixFields(FtpListEntry& entry, const char* line, int length) {
    SpaceTokens t(line, length);
    if (!t.Next() || !t.Next()) return -1;  // permissions, link count
    // "folder" in place of link count, owner and group.
    const bool folder = t.Size() == 6 && t.Token()[0] == 'f';
    if (!folder && !t.Next()) return -1;  // owner
    if (!t.Next()) return -1;
    // The last token before the month is the size, whatever column it is in (a group name,
    // a device's major number). Only that last one is read.
    const char* sizeToken = t.Token();
    int sizeLength = t.Size();
    int month;
    for (;;) {
        if (!t.Next()) return -1;
        // Month names have three bytes; most tokens here are numbers and skip the call.
        month = t.Size() == 3 ? MonthFromName(t.Token(), 3) : -1;
        if (month >= 0) break;
        sizeToken = t.Token();
        sizeLength = t.Size();
    }
    SetSize(entry, sizeToken, sizeLength);
    if (!t.Next()) return -1;
    const std::int32_t day = ReadDecimal(t.Token(), t.Size());
    if (!t.Next()) return -1;

    const char* token = t.Token();
    const int n = t.Size();
    if ((n == 4 && token[1] == ':') || (n == 5 && token[2] == ':')) {
        const int colon = n - 3;
        const std::int32_t hour = ReadDecimal(token, colon);
        const std::int32_t minute = ReadDecimal(token + colon + 1, 2);
        entry.timeKind = TimeServerClock;
        entry.time = ComposeTime(GuessDateSeconds(month, day), hour, minute);
    } else if (n >= 4) {
        entry.timeKind = TimeServerDate;
        entry.time = ComposeTime(DateToSeconds(ReadDecimal(token, n), month, day), 0, 0);
    } else {
        return -1;
    }
    // The name starts after the single space that ends this token; any further spaces are
    // part of it.
    return t.End() + 1;
}

int ParseUnix(FtpListEntry& entry, const char* line, int length) {
    const char type = line[0];
    entry.mayBeDirectory = type == 'd' || type == 'l';
    entry.mayBeFile = type == '-' || type == 'l';
    const int nameStart = WalkUnixFields(entry, line, length);
    if (nameStart < 0) return 0;
    entry.name = line + nameStart;
    entry.nameLength = length - nameStart;
    entry.sizeKind = SizeBytes;

    if (type == 'l') {
        // Drop the link target: the name ends at the first " -> ".
        const char* name = entry.name;
        for (int k = 0; k + 3 < entry.nameLength; ++k) {
            if (name[k] == ' ' && name[k + 1] == '-' && name[k + 2] == '>' && name[k + 3] == ' ') {
                entry.nameLength = k;
                break;
            }
        }
    }
    // Servers whose second byte is a space or '[' pad the name with three more spaces.
    if ((line[1] == ' ' || line[1] == '[') && entry.nameLength > 3 && entry.name[0] == ' ' &&
        entry.name[1] == ' ' && entry.name[2] == ' ') {
        entry.name += 3;
        entry.nameLength -= 3;
    }
    return 1;
}

// NAME.EXT;VERSION  SIZE  DD-MON-YYYY HH:MM[:SS]  more fields.
int ParseVms(FtpListEntry& entry, const char* line, int length, int semicolon) {
    entry.name = line;
    entry.nameLength = semicolon;
    if (semicolon > 4 && std::memcmp(line + semicolon - 4, ".DIR", 4) == 0) {
        entry.nameLength = semicolon - 4;
        entry.mayBeDirectory = 1;
    }
    if (entry.mayBeDirectory == 0) entry.mayBeFile = 1;

    Cursor c{line, length, semicolon};
    // Skip the version and the size field, which is not read.
    if (!c.RunTo(' ') || !c.PassRun(' ') || !c.RunTo(' ') || !c.PassRun(' ')) return 0;
    int start = c.pos;
    if (!c.RunTo('-')) return 0;
    const std::int32_t day = c.ValueFrom(start);
    if (!c.PassRun('-')) return 0;
    start = c.pos;
    if (!c.RunTo('-')) return 0;
    const int month = MonthFromName(line + start, c.pos - start);
    if (month < 0 || !c.PassRun('-')) return 0;
    start = c.pos;
    if (!c.RunTo(' ')) return 0;
    const std::int32_t year = c.ValueFrom(start);
    if (!c.PassRun(' ')) return 0;
    start = c.pos;
    if (!c.RunTo(':')) return 0;
    const std::int32_t hour = c.ValueFrom(start);
    if (!c.PassRun(':')) return 0;
    start = c.pos;
    if (!c.RunToEither(':', ' ')) return 0;
    const std::int32_t minute = c.ValueFrom(start);

    entry.timeKind = TimeServerClock;
    entry.time = ComposeTime(DateToSeconds(year, month, day), hour, minute);
    return 1;
}

// MM-DD-YY  HH:MM(AM|PM)  (<DIR>|SIZE)  NAME.
int ParseMsDos(FtpListEntry& entry, const char* line, int length) {
    Cursor c{line, length, 0};
    if (!c.RunTo('-')) return 0;
    const std::int32_t month = Sub(c.ValueFrom(0), 1);
    if (!c.PassRun('-')) return 0;
    int start = c.pos;
    if (!c.RunTo('-')) return 0;
    const std::int32_t day = c.ValueFrom(start);
    if (!c.PassRun('-')) return 0;
    start = c.pos;
    if (!c.RunTo(' ')) return 0;
    std::int32_t year = c.ValueFrom(start);
    // Two-digit years: 0..49 are 2000..2049, 50..99 are 1950..1999.
    if (year < 50) year += 2000;
    if (year < 1000) year += 1900;
    if (!c.PassRun(' ')) return 0;
    start = c.pos;
    if (!c.RunTo(':')) return 0;
    std::int32_t hour = c.ValueFrom(start);
    if (!c.PassRun(':')) return 0;
    start = c.pos;
    if (!c.RunToEither('A', 'P')) return 0;
    const std::int32_t minute = c.ValueFrom(start);

    // 12-hour clock: 12AM is 0, 12PM is 12.
    if (hour == 12) hour = 0;
    if (line[c.pos] == 'A' && !c.Step()) return 0;
    if (line[c.pos] == 'P') {
        hour = Add(hour, 12);
        if (!c.Step()) return 0;
    }
    if (line[c.pos] == 'M' && !c.Step()) return 0;
    if (!c.PassRun(' ')) return 0;

    if (line[c.pos] == '<') {
        // "<DIR>" or any marker that begins with '<'.
        entry.mayBeDirectory = 1;
        if (!c.RunTo(' ')) return 0;
    } else {
        start = c.pos;
        if (!c.RunTo(' ')) return 0;
        SetSize(entry, line + start, c.pos - start);
        entry.sizeKind = SizeBytes;
        entry.mayBeFile = 1;
    }
    if (!c.PassRun(' ')) return 0;
    entry.name = line + c.pos;
    entry.nameLength = length - c.pos;

    entry.timeKind = TimeServerClock;
    entry.time = ComposeTime(DateToSeconds(year, month, day), hour, minute);
    return 1;
}

}  // namespace

int ParseListLine(FtpListEntry& entry, const char* line, int length) {
    entry = FtpListEntry{};
    if (length < 2) return 0;
    switch (line[0]) {
        case '+':
            return ParseEplf(entry, line, length);
        case '-':
        case 'b':
        case 'c':
        case 'd':
        case 'l':
        case 'p':
        case 's':
            return ParseUnix(entry, line, length);
        default:
            break;
    }
    const void* semicolon = std::memchr(line, ';', static_cast<std::size_t>(length));
    if (semicolon != nullptr) {
        return ParseVms(entry, line, length,
                        static_cast<int>(static_cast<const char*>(semicolon) - line));
    }
    if (line[0] >= '0' && line[0] <= '9') return ParseMsDos(entry, line, length);
    return 0;
}

}  // namespace rklisting
