// GetDirectoryTree and PutDirectoryTree against lftp's "mirror -P N" and "mirror -R -P N",
// measured in the same run on vsftpd and on pyftpdlib: a tree of 2,000 files of 4 KiB in 20
// directories and one of 8 files of 64 MiB, both directions, 1 and 4 connections. Prints
// times, the ratio lftp / library (at least 1: no slower than lftp), the speed-up of 4
// connections over 1 on the small files, and the growth of the peak memory during the
// library's transfers. --quick shrinks the trees by ten and runs each case once; a server's
// name (vsftpd, pyftpdlib) or "small" / "large" as further arguments run only those.
#include <ftw.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "FtpTestServers.h"
#include "RKCurl/RKCurl.h"
#include "ResidentSet.h"
#include "Timing.h"

namespace {

using rkbench::Median;
using rkbench::Seconds;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "tree_bench: %s failed\n", what.c_str());
        std::exit(1);
    }
}

void RemoveTree(const std::string& path) {
    ::nftw(
        path.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

struct Shape {
    const char* name;
    int directories;
    int files;  // in all
    std::size_t bytes;
};

void MakeTree(const std::string& root, const Shape& shape) {
    const std::string data(shape.bytes, 'x');
    for (int d = 0; d < shape.directories; ++d) {
        const std::string dir = root + "/d" + std::to_string(d);
        rktest::MakeDirs(dir);
        for (int f = 0; f < shape.files / shape.directories; ++f) {
            rktest::WriteFile(dir + "/f" + std::to_string(f), data);
        }
    }
}

struct Server {
    const char* name;
    rktest::FtpTestServer* server;
    bool user;  // pyftpdlib: rk / secret; vsftpd: anonymous
};

void Login(CRFTP& ftp, const Server& s) {
    ftp.SetServer(s.server->HostPort().c_str());
    if (s.user) {
        ftp.SetNeedAuthentication(1);
        ftp.SetUserName(L"rk");
        ftp.SetPassword(L"secret");
    }
    ftp.SetHREF(L"/pub/");
}

std::string Lftp(const Server& s, const std::string& mirror) {
    return "lftp -p " + std::to_string(s.server->Port()) + " -u " +
           (s.user ? "rk,secret" : "anonymous,") +
           " -e 'set ftp:ssl-allow no; set cmd:fail-exit yes; " + mirror +
           "; quit' 127.0.0.1 > /dev/null 2>&1";
}

struct Figures {
    double library = 0;
    double lftp = 0;
    long peakGrowthKiB = 0;
};

// One direction on one server at N connections, each side measured runs times.
Figures Measure(const Server& s, bool up, int connections, int runs, const std::string& work) {
    std::vector<double> library, lftp;
    long peak = 0;
    for (int run = 0; run < runs; ++run) {
        for (int tool = 0; tool < 2; ++tool) {
            const std::string local = work + "/local";
            const std::string remoteTarget = s.server->Pub() + "/up";
            RemoveTree(up ? remoteTarget : local);
            if (!up) rktest::MakeDirs(local);
            const std::string localSource = work + "/source";
            if (tool == 0) {
                CRFTP ftp;
                Login(ftp, s);
                ftp.SetTreeConnections(connections);
                const long before = rkbench::ResetPeakKiB();
                library.push_back(Seconds([&] {
                    const int rc =
                        up ? ftp.PutDirectoryTree(rktest::Wide(localSource).c_str(), L"up")
                           : ftp.GetDirectoryTree(L"src", rktest::Wide(local).c_str());
                    Check(rc == 0, up ? "PutDirectoryTree" : "GetDirectoryTree");
                }));
                peak = std::max(peak, rkbench::PeakKiB() - before);
            } else {
                const std::string n = std::to_string(connections);
                const std::string command =
                    up ? Lftp(s, "mirror -R -P " + n + " " + localSource + " /pub/up")
                       : Lftp(s, "mirror -P " + n + " /pub/src " + local);
                lftp.push_back(Seconds([&] { Check(std::system(command.c_str()) == 0, command); }));
            }
        }
    }
    return Figures{Median(library), Median(lftp), peak};
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto given = [&](const char* word) {
        return std::find(args.begin(), args.end(), word) != args.end();
    };
    const bool quick = given("--quick");
    const bool anyServer = given("vsftpd") || given("pyftpdlib");
    const bool anyShape = given("small") || given("large");
    const int scale = quick ? 10 : 1;
    const int runs = quick ? 1 : 3;
    std::vector<Shape> shapes;
    if (!anyShape || given("small"))
        shapes.push_back({"2,000 x 4 KiB in 20 dirs", 20, 2000 / scale, 4096});
    if (!anyShape || given("large")) {
        shapes.push_back(
            {"8 x 64 MiB", 2, 8, (std::size_t(64) << 20) / static_cast<std::size_t>(scale)});
    }
    std::vector<Server> servers;
    if (::geteuid() == 0 && (!anyServer || given("vsftpd"))) {
        servers.push_back({"vsftpd", &rktest::SharedVsftpdServer(), false});
    }
    if (!anyServer || given("pyftpdlib")) {
        servers.push_back({"pyftpdlib", &rktest::SharedPyFtpServer(), true});
    }
    rktest::TempDir work;
    std::printf("tree transfers, median of %d; ratio = lftp / library (>= 1: no slower)\n", runs);
    for (const Server& s : servers) {
        for (const Shape& shape : shapes) {
            RemoveTree(s.server->Pub() + "/src");
            RemoveTree(work.Path("source"));
            MakeTree(s.server->Pub() + "/src", shape);
            MakeTree(work.Path("source"), shape);
            s.server->HandOver(s.server->Pub());
            std::printf("%s, %s\n", s.name, shape.name);
            for (const bool up : {false, true}) {
                double one = 0;
                for (const int n : {1, 4}) {
                    const Figures f = Measure(s, up, n, runs, work.Path());
                    if (n == 1) one = f.library;
                    std::printf(
                        "  %-4s N=%d  library %8.3f s  lftp %8.3f s  ratio %5.2f  peak +%.1f MiB",
                        up ? "up" : "down", n, f.library, f.lftp, f.lftp / f.library,
                        f.peakGrowthKiB / 1024.0);
                    if (n == 4) std::printf("  4 vs 1: %.2fx", one / f.library);
                    std::printf("\n");
                    std::fflush(stdout);
                }
            }
        }
    }
    return 0;
}
