// The FTP commands: ls, get, put, mkdir, rm, rmdir, pwd, quote. Each returns the exit status.
#pragma once

#include <string>

#include "Arguments.h"
#include "Session.h"

namespace rktool {

int RunLs(const ParsedArguments& args, const CommonSettings& settings);
int RunGet(const ParsedArguments& args, const CommonSettings& settings);
int RunPut(const ParsedArguments& args, const CommonSettings& settings);
int RunMkdir(const ParsedArguments& args, const CommonSettings& settings);
int RunRm(const ParsedArguments& args, const CommonSettings& settings);
int RunRmdir(const ParsedArguments& args, const CommonSettings& settings);
int RunPwd(const ParsedArguments& args, const CommonSettings& settings);
int RunQuote(const ParsedArguments& args, const CommonSettings& settings);

}  // namespace rktool
