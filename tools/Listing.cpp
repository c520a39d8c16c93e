#include "Listing.h"

#include <RKCurl/TextConversion.h>

#include <algorithm>
#include <cstdio>

namespace rktool {

ListEntry MakeListEntry(const WIN32_FIND_DATAW& data, bool mayBeLink) {
    ListEntry entry;
    entry.name = oru::helper::WideStrToNarStr(data.cFileName);
    if (mayBeLink) {
        entry.kind = EntryKind::Link;
    } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        entry.kind = EntryKind::Directory;
    } else {
        entry.kind = EntryKind::File;
    }
    entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    SYSTEMTIME time{};
    const bool known =
        (data.ftLastWriteTime.dwLowDateTime | data.ftLastWriteTime.dwHighDateTime) != 0;
    if (known && FileTimeToSystemTime(&data.ftLastWriteTime, &time) != 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth,
                      time.wDay, time.wHour, time.wMinute, time.wSecond);
        entry.modified = text;
    }
    return entry;
}

const char* KindName(EntryKind kind) {
    switch (kind) {
        case EntryKind::File:
            return "file";
        case EntryKind::Directory:
            return "dir";
        case EntryKind::Link:
            return "link";
    }
    return "file";
}

std::string FormatNames(const std::vector<ListEntry>& entries) {
    std::string out;
    for (const ListEntry& entry : entries) {
        out += entry.name;
        if (entry.kind == EntryKind::Directory) out += '/';
        out += '\n';
    }
    return out;
}

std::string FormatLong(const std::vector<ListEntry>& entries) {
    std::size_t sizeWidth = 1;
    for (const ListEntry& entry : entries) {
        sizeWidth = std::max(sizeWidth, std::to_string(entry.size).size());
    }
    std::string out;
    for (const ListEntry& entry : entries) {
        char head[96];
        std::snprintf(head, sizeof head, "%-4s %*llu %-19s ", KindName(entry.kind),
                      static_cast<int>(sizeWidth), static_cast<unsigned long long>(entry.size),
                      entry.modified.empty() ? "-" : entry.modified.c_str());
        out += head + entry.name + '\n';
    }
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string FormatJson(const std::vector<ListEntry>& entries) {
    std::string out = "[";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ListEntry& entry = entries[i];
        out += i == 0 ? "\n  " : ",\n  ";
        out += "{\"name\": " + JsonString(entry.name) + ", \"kind\": \"" + KindName(entry.kind) +
               "\", \"size\": " + std::to_string(entry.size) + ", \"modified\": ";
        if (entry.modified.empty()) {
            out += "null}";
        } else {
            std::string iso = entry.modified;
            iso[10] = 'T';
            out += JsonString(iso) + "}";
        }
    }
    return out + (entries.empty() ? "]\n" : "\n]\n");
}

}  // namespace rktool
