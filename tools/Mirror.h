// rkcurl mirror: a whole directory tree down from an FTP server, or up to one with -R.
#pragma once

#include "Arguments.h"

namespace rktool {

int RunMirror(const ParsedArguments& args, const CommonSettings& settings);

}  // namespace rktool
