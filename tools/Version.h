// rkcurl --version: the tool's, the library's and libcurl's versions, libcurl's TLS backend and
// protocols.
#pragma once

#include <string>

namespace rktool {

std::string VersionText();

}  // namespace rktool
