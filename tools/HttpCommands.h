// The HTTP commands: page, soap, download, upload, post-buffer, buffer. Each returns the exit
// status.
#pragma once

#include "Arguments.h"

namespace rktool {

int RunPage(const ParsedArguments& args, const CommonSettings& settings);
int RunSoap(const ParsedArguments& args, const CommonSettings& settings);
int RunDownload(const ParsedArguments& args, const CommonSettings& settings);
int RunUpload(const ParsedArguments& args, const CommonSettings& settings);
int RunPostBuffer(const ParsedArguments& args, const CommonSettings& settings);
int RunBuffer(const ParsedArguments& args, const CommonSettings& settings);

}  // namespace rktool
