// Runs the FTP tests' vsftpd (plain FTP and FTPS) for the tool tests: prints its port and the
// directory it serves as /pub, then serves until standard input closes.
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "FtpTestServers.h"

int main() {
    try {
        rktest::VsftpdServer server;
        std::printf("%d %s\n", server.Port(), server.Pub().c_str());
        std::fflush(stdout);
        char byte = 0;
        while (read(STDIN_FILENO, &byte, 1) > 0) {
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}
