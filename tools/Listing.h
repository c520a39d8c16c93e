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

// The lines of a listing that stand for entries ls could not show: the library's rejected
// lines (FindRejectedLines) without those that hold no entry at all: blank lines, a Unix
// "total 12", a VMS "Directory ..." heading or "Total of ..." summary.
std::vector<std::string> UnshownEntries(const std::vector<std::string>& rejected);

// What ls says about them on standard error, "rkcurl: ls: " left out: how many and why (a name
// longer than 259 characters, or a line in no listing form the library reads), then each line
// indented, its control characters escaped. Empty when there are none.
std::string UnshownReport(const std::vector<std::string>& unshown);

}  // namespace rktool
