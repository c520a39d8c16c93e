// The HTTP commands: page, soap, download, upload, post-buffer, buffer. Each returns the exit
// status.
#pragma once

#include <string>

#include "Arguments.h"
#include "Session.h"

namespace rktool {

bool IsHttpUrl(const std::string& url);

// One plain-GET download to the output the choice names; with form given (download), its -F
// fields make it the multipart POST instead. With resume (get -C -) the local file is continued
// with a range request.
int HttpGetOne(const std::string& url, const OutputChoice& output, const CommonSettings& settings,
               const ParsedArguments* form, bool resume = false);

int RunPage(const ParsedArguments& args, const CommonSettings& settings);
int RunSoap(const ParsedArguments& args, const CommonSettings& settings);
int RunDownload(const ParsedArguments& args, const CommonSettings& settings);
int RunUpload(const ParsedArguments& args, const CommonSettings& settings);
int RunPostBuffer(const ParsedArguments& args, const CommonSettings& settings);
int RunBuffer(const ParsedArguments& args, const CommonSettings& settings);

}  // namespace rktool
