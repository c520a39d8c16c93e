#include "Listing.h"

#include <RKCurl/TextConversion.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "TerminalText.h"

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

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// Characters, not bytes: UTF-8 continuation bytes are not counted.
std::size_t Characters(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xc0) != 0x80;
    }));
}

}  // namespace

std::vector<std::string> UnshownEntries(const std::vector<std::string>& rejected) {
    std::vector<std::string> unshown;
    for (const std::string& line : rejected) {
        const bool blank = line.find_first_not_of(" \t\r") == std::string::npos;
        const bool total = StartsWith(line, "total ") && line.size() > 6 &&
                           std::all_of(line.begin() + 6, line.end(), [](char c) {
                               return std::isdigit(static_cast<unsigned char>(c)) != 0;
                           });
        const bool vmsFrame = StartsWith(line, "Directory ") || StartsWith(line, "Total of ");
        if (!blank && !total && !vmsFrame) unshown.push_back(line);
    }
    return unshown;
}

std::string UnshownReport(const std::vector<std::string>& unshown) {
    if (unshown.empty()) return "";
    // A listing line is far shorter than 259 characters unless its name is that long.
    constexpr std::size_t kMaxName = 259;
    const auto longNames = static_cast<std::size_t>(
        std::count_if(unshown.begin(), unshown.end(),
                      [&](const std::string& line) { return Characters(line) > kMaxName; }));
    const std::size_t unread = unshown.size() - longNames;
    std::string why;
    if (longNames != 0) {
        why = std::to_string(longNames) + (longNames == 1 ? " name" : " names") +
              " longer than 259 characters";
    }
    if (unread != 0) {
        why += (why.empty() ? "" : ", ") + std::to_string(unread) +
               (unread == 1 ? " line" : " lines") + " in no listing form rkcurl reads";
    }
    std::string text = std::to_string(unshown.size()) +
                       (unshown.size() == 1 ? " entry" : " entries") + " not shown (" + why + "):";
    for (const std::string& line : unshown) text += "\n  " + EscapeControls(line);
    return text;
}

}  // namespace rktool
