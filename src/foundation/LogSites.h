// The fixed source names and lines of the library's WriteLog records. Hosts filter their logs
// on these, so they never change with the code around them.
#pragma once

#include <RKLogging/RKLogging.h>

namespace rkcurl {

constexpr char kLogFileConnection[] = "Connection";
constexpr int kLogLineNetworkInit = 29;   // "Error while initializing network library"
constexpr int kLogLineErrorReport = 253;  // "Error Code : Error Desc"

constexpr char kLogFileHttp[] = "HTTP";
constexpr int kLogLineHttpTransfer = 86;  // "Curl", a failed buffer upload

}  // namespace rkcurl
