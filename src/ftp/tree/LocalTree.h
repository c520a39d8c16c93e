// The local side of a tree transfer: a directory of this machine's file system, listed without
// following symbolic links.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ftp/tree/TreeItem.h"

namespace rkcurl {
namespace ftp {

class LocalTree : public TreeSide {
public:
    explicit LocalTree(const std::wstring& root);

    // A symbolic link (a reparse point on Windows) is a Link and never entered.
    bool List(const std::string& directory, std::vector<TreeItem>& items,
              Failure& failure) override;
    bool MakeDirectory(const std::string& directory, Failure& failure) override;
    bool RemoveFile(const std::string& path, Failure& failure) override;
    bool RemoveEmptyDirectory(const std::string& path, Failure& failure) override;

    // The root and its missing parents made; false when it cannot be had as a directory.
    bool MakeRoot();
    // True when the root is a directory.
    bool RootExists() const;
    // The wide path of a tree path (the name of local files for the file calls).
    std::wstring WidePath(const std::string& path) const;
    // Sets the file's modification time (seconds since 1970, UTC); true when it worked.
    bool SetModificationTime(const std::string& path, std::int64_t time) const;

private:
    std::wstring m_root;
};

}  // namespace ftp
}  // namespace rkcurl
