// FTPS uploads to vsftpd as Debian runs it (TLS 1.3, TLS session reuse required on data
// connections), counted: N uploads (100 by default) of 64 KiB to 5 MiB, STOR and APPE
// (PutFile with resume after half the file is there), connection reuse off and on, with
// libcurl's default TLS versions and with SetTlsVersions(0, 12); with --tool, the same uploads
// through rkcurl put by default and with --tls-max 1.3. An upload counts as failed when the call
// fails or the remote file differs from the local one. Prints failures per setting.
//   ftps_upload_loop [--runs N] [--tool PATH-TO-RKCURL]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FtpTestServers.h"
#include "RKCurl/RKCurl.h"

namespace {

const std::size_t kSizes[] = {64 << 10, 256 << 10, 1 << 20, 2 << 20, 3 << 20, 5 << 20};
constexpr std::size_t kSizeCount = sizeof kSizes / sizeof kSizes[0];

struct Upload {
    std::size_t size;
    bool append;  // APPE of the second half
    bool reuse;
};

// The i-th upload of a series: every size, both commands, reuse off and on in turn.
Upload Nth(int i) {
    return {kSizes[i % kSizeCount], (i / kSizeCount) % 2 == 1, (i / (2 * kSizeCount)) % 2 == 1};
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

struct Series {
    const char* tag;  // in the remote file names
    const char* name;
    int failures = 0;
    double seconds = 0;
};

class Loop {
public:
    Loop() : m_server(rktest::SharedVsftpdServer(rktest::VsftpdServer::kSessionReuse)) {
        m_dir = m_server.Pub() + "/loop";
        rktest::MakeDirs(m_dir);
        m_server.HandOver(m_dir);
        for (std::size_t size : kSizes) {
            std::string bytes(size, '\0');
            unsigned state = static_cast<unsigned>(size);
            for (char& byte : bytes)
                byte = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
            const std::string path = m_local.Path() + "/" + std::to_string(size);
            rktest::WriteFile(path, bytes);
            m_content.push_back(bytes);
        }
    }

    // Runs the series through the library, capped at TLS 1.2 or not.
    void Library(Series& series, int runs, bool capped) {
        CRFTP objects[2];
        for (int reuse = 0; reuse < 2; ++reuse) {
            objects[reuse].SetServer(m_server.HostPort().c_str());
            objects[reuse].SetSecure(1);
            objects[reuse].SetReuseConnections(reuse);
            if (capped) objects[reuse].SetTlsVersions(0, 12);
        }
        Measure(series, runs,
                [&](const Upload& u, const std::string& name, const std::string& local) {
                    CRFTP& ftp = objects[u.reuse ? 1 : 0];
                    ftp.SetHREF(Wide("/pub/loop/" + name).c_str());
                    return ftp.PutFile(Wide(local).c_str(), u.append ? 1 : 0) == 0;
                });
    }

    // Runs the series through rkcurl put, with extra options.
    void Tool(Series& series, int runs, const std::string& tool, const std::string& options) {
        Measure(
            series, runs, [&](const Upload& u, const std::string& name, const std::string& local) {
                const std::string command = tool + " put -s -k --secure " + options +
                                            (u.reuse ? "" : " --no-reuse") +
                                            (u.append ? " -C -" : "") + " " + local +
                                            " ftp://127.0.0.1:" + std::to_string(m_server.Port()) +
                                            "/pub/loop/" + name + " 2>/dev/null";
                return std::system(command.c_str()) == 0;
            });
    }

private:
    template <typename Put>
    void Measure(Series& series, int runs, Put put) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < runs; ++i) {
            const Upload u = Nth(i);
            std::size_t index = 0;
            while (kSizes[index] != u.size) ++index;
            const std::string name = series.tag + std::string("-") + std::to_string(i);
            const std::string remote = m_dir + "/" + name;
            if (u.append) {
                rktest::WriteFile(remote, m_content[index].substr(0, u.size / 2));
                m_server.HandOver(remote);
            }
            const bool ok = put(u, name, m_local.Path() + "/" + std::to_string(u.size)) &&
                            rktest::ReadFile(remote) == m_content[index];
            if (!ok) ++series.failures;
            std::remove(remote.c_str());
        }
        series.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    rktest::VsftpdServer& m_server;
    rktest::TempDir m_local;
    std::string m_dir;
    std::vector<std::string> m_content;
};

}  // namespace

int main(int argc, char** argv) {
    int runs = 100;
    std::string tool;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--tool") == 0) tool = argv[i + 1];
    }
    Loop loop;
    std::vector<Series> results;
    Series defaults{"lib", "library, default TLS versions"};
    loop.Library(defaults, runs, false);
    results.push_back(defaults);
    Series capped{"lib12", "library, SetTlsVersions(0, 12)"};
    loop.Library(capped, runs, true);
    results.push_back(capped);
    if (!tool.empty()) {
        Series byDefault{"tool", "rkcurl put (FTPS default: TLS 1.2 at most)"};
        loop.Tool(byDefault, runs, tool, "");
        results.push_back(byDefault);
        Series uncapped{"tool13", "rkcurl put --tls-max 1.3"};
        loop.Tool(uncapped, runs, tool, "--tls-max 1.3");
        results.push_back(uncapped);
    }
    std::printf(
        "%d FTPS uploads each (64 KiB to 5 MiB, STOR and APPE, reuse off and on) to vsftpd "
        "with require_ssl_reuse=YES\n",
        runs);
    for (const Series& s : results) {
        std::printf("%-45s %3d failed of %d  (%.1f s)\n", s.name, s.failures, runs, s.seconds);
    }
    return 0;
}
