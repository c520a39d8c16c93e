// A directory listing's body as the tree walk's items.
#pragma once

#include <string>
#include <vector>

#include "ftp/tree/TreeItem.h"

namespace rkcurl {
namespace ftp {

// Parses the LIST or (machine) MLSD body into items, in listing order; lines no parser accepts
// are left out, and so are MLSD's entries of the directory itself and its parent. A name is
// the listed bytes exactly, a zero byte included. Times: MLSD and EPLF instants exact to the
// second, a listed time of day to the minute, a date to the day.
std::vector<TreeItem> ParseTreeListing(const std::string& body, bool machine);

}  // namespace ftp
}  // namespace rkcurl
