// The FTP listing as the tool prints it: names, long records, or JSON.
#pragma once

#include <RKCurl/WindowsTypes.h>

#include <cstdint>
#include <string>
#include <vector>

namespace rktool {

enum class EntryKind { File, Directory, Link };

struct ListEntry {
    std::string name;  // UTF-8
    EntryKind kind;
    std::uint64_t size;
    std::string modified;  // "YYYY-MM-DD HH:MM:SS" as the server's clock read; empty if unknown
};

ListEntry MakeListEntry(const WIN32_FIND_DATAW& data, bool mayBeLink);

const char* KindName(EntryKind kind);

// Names one a line, a directory's name followed by "/".
std::string FormatNames(const std::vector<ListEntry>& entries);
// "kind size modified name" one a line, in aligned columns.
std::string FormatLong(const std::vector<ListEntry>& entries);
// A JSON array of {"name","kind","size","modified"} objects.
std::string FormatJson(const std::vector<ListEntry>& entries);

std::string JsonString(const std::string& text);

}  // namespace rktool
