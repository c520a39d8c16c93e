// Runs the FTP tests' vsftpd (plain FTP and FTPS) for the tool tests: prints its port and the
// directory it serves as /pub, then serves until standard input closes. An argument names a
// variant: session-reuse, implicit or active (the standard one without).
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>

#include "FtpTestServers.h"

int main(int argc, char** argv) {
    using Variant = rktest::VsftpdServer::Variant;
    Variant variant = Variant::kStandard;
    if (argc > 1 && std::strcmp(argv[1], "session-reuse") == 0) variant = Variant::kSessionReuse;
    if (argc > 1 && std::strcmp(argv[1], "implicit") == 0) variant = Variant::kImplicitTls;
    if (argc > 1 && std::strcmp(argv[1], "active") == 0) variant = Variant::kActiveOnly;
    try {
        rktest::VsftpdServer server(rktest::VsftpdServer::kSelfSigned, variant);
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
