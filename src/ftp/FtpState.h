// What CRFTP keeps behind its state pointer: the listing settings, what the latest listing
// could not put into m_findData, and the tree transfers' settings and latest report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ftp/tree/TreeState.h"

namespace rkcurl {

struct FtpState {
    // The listing settings (SetUseMlsd, SetListHidden) and the remembered MLSD refusal: the
    // server that answered 500 or 502, while mlsdRefused holds.
    int useMlsd = 0;
    int listHidden = 0;
    bool mlsdRefused = false;
    std::wstring mlsdRefusedServer;
    bool findMachine = false;  // FindListingIsMachine

    // How the session connects (SetImplicitTls, SetActivePort, SetUseEpsv, SetUseEprt); -1:
    // not set, libcurl's default.
    int implicitTls = 0;
    bool activePortSet = false;
    std::string activePort;  // UTF-8
    int useEpsv = -1;
    int useEprt = -1;

    // Per entry of m_findData, what the record cannot say (rkcurl::ftp::EntryMark bits).
    std::vector<std::uint8_t> findMarks;
    // The lines of the latest listing that gave no record (FindRejectedLines).
    std::vector<std::string> findRejected;

    // The tree settings and the latest tree report (GetTreeReport).
    ftp::TreeState tree;
};

}  // namespace rkcurl
