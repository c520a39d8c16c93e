// GetDirectoryTree and PutDirectoryTree against lftp's "mirror -P N" and "mirror -R -P N",
// measured in the same run on vsftpd and on pyftpdlib: a tree of 2,000 files of 4 KiB in 20
// directories and one of 8 files of 64 MiB, both directions, 1 and 4 connections. Prints
// times, the ratio lftp / library (at least 1: no slower than lftp), the speed-up of 4
// connections over 1 on the small files, the growth of the peak memory during the library's
// transfers, and the commands each tool sent per file (from the server's log).
//
// Each case runs twice: on plain loopback, where a round trip costs nothing and both tools are
// bound by the CPU of this machine, and through ftp_relay.py, which delays every chunk of the
// control and data connections by --delay-ms (2 by default) each way, as a network would.
//
// Arguments: --quick shrinks the trees by ten and runs each case once; --runs N; --delay-ms D;
// a server's name (vsftpd, pyftpdlib), "small" / "large", "loopback" / "relay" run only those.
#include <ftw.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FtpTestServers.h"
#include "LatencyRelay.h"
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

// The entries that failed (at most five), so that a failed run says why.
void ReportFailures(const std::vector<CRTreeEntry>& report) {
    int shown = 0;
    for (const CRTreeEntry& entry : report) {
        if (entry.action != RKTREE_FAILED && entry.action != RKTREE_REFUSED) continue;
        if (++shown > 5) break;
        std::fprintf(stderr, "tree_bench: %ls: code %d, libcurl %d\n", entry.path.c_str(),
                     entry.code, entry.extendedCode);
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

void Login(CRFTP& ftp, const Server& s, int port) {
    ftp.SetServer((L"127.0.0.1:" + std::to_wstring(port)).c_str());
    if (s.user) {
        ftp.SetNeedAuthentication(1);
        ftp.SetUserName(L"rk");
        ftp.SetPassword(L"secret");
    }
    ftp.SetHREF(L"/pub/");
}

std::string Lftp(const Server& s, int port, const std::string& mirror) {
    return "lftp -p " + std::to_string(port) + " -u " + (s.user ? "rk,secret" : "anonymous,") +
           " -e 'set ftp:ssl-allow no; set cmd:fail-exit yes; " + mirror +
           "; quit' 127.0.0.1 > /dev/null 2>&1";
}

// The commands the server logged, per file: the total, then each verb that comes at least once
// in twenty files, the most frequent first.
std::string CommandsPerFile(const rktest::FtpTestServer& server, int files) {
    std::map<std::string, int> verbs;
    int total = 0;
    for (const std::string& line : server.Commands()) {
        std::string verb = line.substr(0, line.find(' '));
        for (char& c : verb) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        ++verbs[verb];
        ++total;
    }
    std::vector<std::pair<int, std::string>> ranked;
    for (const auto& verb : verbs) ranked.emplace_back(-verb.second, verb.first);
    std::sort(ranked.begin(), ranked.end());
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(total) / files);
    std::string out = text;
    for (const auto& verb : ranked) {
        const double each = static_cast<double>(-verb.first) / files;
        if (each < 0.05) continue;
        std::snprintf(text, sizeof text, " %s %.2f", verb.second.c_str(), each);
        out += text;
    }
    return out;
}

struct Figures {
    double library = 0;
    double lftp = 0;
    long peakGrowthKiB = 0;
    std::string libraryCommands;  // of the first run
    std::string lftpCommands;
};

// One direction on one server at N connections, each side measured runs times, connecting to
// port (the server's, or the relay's in front of it).
Figures Measure(const Server& s, int port, bool up, int connections, int runs, int files,
                const std::string& work) {
    std::vector<double> library, lftp;
    Figures figures;
    for (int run = 0; run < runs; ++run) {
        for (int tool = 0; tool < 2; ++tool) {
            const std::string local = work + "/local";
            const std::string remoteTarget = s.server->Pub() + "/up";
            RemoveTree(up ? remoteTarget : local);
            if (!up) rktest::MakeDirs(local);
            const std::string localSource = work + "/source";
            s.server->ClearCommands();
            if (tool == 0) {
                CRFTP ftp;
                Login(ftp, s, port);
                ftp.SetTreeConnections(connections);
                const long before = rkbench::ResetPeakKiB();
                library.push_back(Seconds([&] {
                    const int rc =
                        up ? ftp.PutDirectoryTree(rktest::Wide(localSource).c_str(), L"up")
                           : ftp.GetDirectoryTree(L"src", rktest::Wide(local).c_str());
                    if (rc != 0) ReportFailures(ftp.GetTreeReport());
                    Check(rc == 0, up ? "PutDirectoryTree" : "GetDirectoryTree");
                }));
                figures.peakGrowthKiB =
                    std::max(figures.peakGrowthKiB, rkbench::PeakKiB() - before);
            } else {
                const std::string n = std::to_string(connections);
                const std::string command =
                    up ? Lftp(s, port, "mirror -R -P " + n + " " + localSource + " /pub/up")
                       : Lftp(s, port, "mirror -P " + n + " /pub/src " + local);
                lftp.push_back(Seconds([&] { Check(std::system(command.c_str()) == 0, command); }));
            }
            if (run == 0) {
                (tool == 0 ? figures.libraryCommands : figures.lftpCommands) =
                    CommandsPerFile(*s.server, files);
            }
        }
    }
    figures.library = Median(library);
    figures.lftp = Median(lftp);
    return figures;
}

// The value after a flag (--runs 3), or fallback.
double Value(const std::vector<std::string>& args, const char* flag, double fallback) {
    const auto at = std::find(args.begin(), args.end(), flag);
    return at != args.end() && at + 1 != args.end() ? std::atof((at + 1)->c_str()) : fallback;
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
    const bool anyNetwork = given("loopback") || given("relay");
    const int scale = quick ? 10 : 1;
    const int runs = static_cast<int>(Value(args, "--runs", quick ? 1 : 3));
    const double delayMs = Value(args, "--delay-ms", 2);
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
        // The relay's round trip is measured, not assumed: the event loop adds to the delay.
        std::unique_ptr<rkbench::LatencyRelay> relay;
        if (!anyNetwork || given("relay")) {
            relay.reset(new rkbench::LatencyRelay(s.server->Port(), delayMs));
        }
        for (const Shape& shape : shapes) {
            RemoveTree(s.server->Pub() + "/src");
            RemoveTree(work.Path("source"));
            MakeTree(s.server->Pub() + "/src", shape);
            MakeTree(work.Path("source"), shape);
            s.server->HandOver(s.server->Pub());
            for (const bool relayed : {false, true}) {
                if (relayed ? !relay : anyNetwork && !given("loopback")) continue;
                if (relayed) {
                    std::printf("%s, %s, relay %.1f ms each way (a command's round trip %.1f ms)\n",
                                s.name, shape.name, delayMs, relay->RoundTripMs());
                } else {
                    std::printf("%s, %s, loopback (CPU-bound: round trips cost nothing)\n", s.name,
                                shape.name);
                }
                const int port = relayed ? relay->Port() : s.server->Port();
                for (const bool up : {false, true}) {
                    double one = 0;
                    for (const int n : {1, 4}) {
                        const Figures f = Measure(s, port, up, n, runs, shape.files, work.Path());
                        if (n == 1) one = f.library;
                        std::printf(
                            "  %-4s N=%d  library %8.3f s  lftp %8.3f s  ratio %5.2f  peak +%.1f "
                            "MiB",
                            up ? "up" : "down", n, f.library, f.lftp, f.lftp / f.library,
                            f.peakGrowthKiB / 1024.0);
                        if (n == 4) std::printf("  4 vs 1: %.2fx", one / f.library);
                        std::printf("\n    commands per file: library %s\n",
                                    f.libraryCommands.c_str());
                        std::printf("                       lftp    %s\n", f.lftpCommands.c_str());
                        std::fflush(stdout);
                    }
                }
            }
        }
    }
    return 0;
}
