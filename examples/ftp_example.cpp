// Lists an FTP directory with RKCurl, as a host program would.
//
// usage: ftp_example HOST[:PORT] /DIRECTORY/ [USER PASSWORD]
#include <RKCurl/RKCurl.h>
#include <RKLogging/RKLogging.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::printf("usage: %s HOST[:PORT] /DIRECTORY/ [USER PASSWORD]\n", argv[0]);
        return 0;
    }
    // The library reports through its logger too: count its failure records.
    int failures = 0;
    LOGGER::CRKLog::SetSink([&failures](const LOGGER::LogRecord& record) {
        if (record.kind == LOGGER::LogKind::Write && record.severity >= LOGGER::SEV_ERROR) {
            ++failures;
        }
    });

    CRFTP ftp;
    ftp.SetServer(oru::helper::NarStrToWideStr(argv[1]).c_str());
    ftp.SetHREF(oru::helper::NarStrToWideStr(argv[2]).c_str());
    if (argc == 5) {
        ftp.SetNeedAuthentication(1);
        ftp.SetUserName(oru::helper::NarStrToWideStr(argv[3]).c_str());
        ftp.SetPassword(oru::helper::NarStrToWideStr(argv[4]).c_str());
    }
    ftp.SetReuseConnections(1);

    // 0: an entry; -1: no (further) entry; anything else: an RKERR_ code.
    WIN32_FIND_DATAW entry;
    int rc = ftp.FindFirstFileW(entry);
    for (; rc == 0; rc = ftp.FindNextFileW(entry)) {
        const bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        std::printf("%s %10u %s\n", directory ? "dir " : "file",
                    static_cast<unsigned>(entry.nFileSizeLow),
                    oru::helper::WideStrToNarStr(entry.cFileName).c_str());
    }
    LOGGER::CRKLog::SetSink(nullptr);
    if (rc != -1) {
        std::fprintf(stderr, "listing failed: code %d (%d failure records)\n", ftp.Validate(),
                     failures);
        return 1;
    }
    return 0;
}
