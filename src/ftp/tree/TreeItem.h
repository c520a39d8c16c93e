// What a tree transfer knows of one name in one directory, on either side, and the listing
// interface both sides offer to the walk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rkcurl {
namespace ftp {

enum class ItemKind { File, Directory, Link, Other };

struct TreeItem {
    std::string name;  // the bytes the side uses (UTF-8 where it can be told)
    ItemKind kind = ItemKind::File;
    bool sizeKnown = false;
    std::uint64_t size = 0;
    std::int64_t time = 0;       // modification time, seconds since 1970-01-01T00:00:00 UTC
    std::int64_t precision = 0;  // seconds the time is exact to; 0: no time
};

// Why an entry failed: an RKERR_ code, libcurl's result (or 0) and libcurl's detail text.
struct Failure {
    int code = 0;
    int extendedCode = 0;
    std::string detail;
};

// One side of a tree. Paths are relative to the tree's root, names joined by "/"; "" is the
// root itself. Each call returns false with failure filled when it did not work.
class TreeSide {
public:
    virtual ~TreeSide() = default;
    virtual bool List(const std::string& directory, std::vector<TreeItem>& items,
                      Failure& failure) = 0;
    virtual bool MakeDirectory(const std::string& directory, Failure& failure) = 0;
    virtual bool RemoveFile(const std::string& path, Failure& failure) = 0;
    virtual bool RemoveEmptyDirectory(const std::string& path, Failure& failure) = 0;
};

// directory + "/" + name, or name alone below the root.
inline std::string JoinTreePath(const std::string& directory, const std::string& name) {
    return directory.empty() ? name : directory + "/" + name;
}

}  // namespace ftp
}  // namespace rkcurl
