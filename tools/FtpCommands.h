// The FTP commands: ls, get, put, mkdir, rm, rmdir, pwd, quote. Each returns the exit status.
#pragma once

#include <cstdint>
#include <string>

#include "Arguments.h"
#include "Session.h"

namespace rktool {

int RunLs(const ParsedArguments& args, const CommonSettings& settings);
int RunGet(const ParsedArguments& args, const CommonSettings& settings);
// One FTP download of get to the output the choice names.
int FtpGetOne(const std::string& url, const OutputChoice& output, const CommonSettings& settings);

// Moves the file the client's HREF names to localPath, or to standard output for "". The one
// place an FTP file reaches the local side. Returns 0, the library's code, or -1 with
// localFailed set when writing locally failed; bytes is the size moved.
int FtpDownload(ToolFtp& ftp, const std::string& localPath, std::uint64_t& bytes,
                bool& localFailed);

int RunPut(const ParsedArguments& args, const CommonSettings& settings);
int RunMkdir(const ParsedArguments& args, const CommonSettings& settings);
int RunRm(const ParsedArguments& args, const CommonSettings& settings);
int RunRmdir(const ParsedArguments& args, const CommonSettings& settings);
int RunPwd(const ParsedArguments& args, const CommonSettings& settings);
int RunQuote(const ParsedArguments& args, const CommonSettings& settings);

}  // namespace rktool
