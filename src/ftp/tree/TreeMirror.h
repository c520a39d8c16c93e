// The two tree transfers from start to report: walk and plan, the directories, the files over
// parallel connections, the checksums, the deletions; then the report and the records.
#pragma once

#include <string>

#include "RKCurl/CRFTP.h"

namespace rkcurl {
namespace ftp {

// remoteRoot: the FTP path of the tree, ending in "/". Return the call's code.
int MirrorRemoteToLocal(CRFTP& session, const std::string& remoteRoot,
                        const std::wstring& localRoot);
int MirrorLocalToRemote(CRFTP& session, const std::wstring& localRoot,
                        const std::string& remoteRoot);

}  // namespace ftp
}  // namespace rkcurl
