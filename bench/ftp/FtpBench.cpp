// Measures, in one run and on the same servers:
//  (a) FindFirstFileW plus every FindNextFileW over a listing of 100,000 entries, against the
//      bare libcurl transfer of the same listing;
//  (b) RemoveDirectoryTree of 1,000 files in 10 directories, connection reuse off and on,
//      against lftp's "rm -r", on vsftpd and on pyftpdlib;
//  (c) PutFile, GetFileTo and GetFile of 1 GiB against the curl command line, on vsftpd, with
//      the growth of the peak memory during PutFile and GetFileTo.
// --quick shrinks every size by ten for a smoke run; "a", "b" or "c" runs only those parts.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "bench: %s failed\n", what);
        std::exit(1);
    }
}

size_t Append(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

size_t Discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

// The plain libcurl fetch of a URL, the yardstick of (a).
std::size_t BareTransfer(const std::string& url) {
    std::string body;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, static_cast<void*>(&body));
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Discard);
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    Check(result == CURLE_OK, "bare transfer");
    return body.size();
}

std::string Url(const rktest::FtpTestServer& server, const std::string& path, bool user) {
    return std::string("ftp://") + (user ? "rk:secret@" : "") +
           "127.0.0.1:" + std::to_string(server.Port()) + path;
}

void ListingBench(int entries) {
    rktest::PyFtpServer& server = rktest::SharedPyFtpServer();
    rktest::MakeDirs(server.Pub() + "/big");
    std::string listing;
    char line[128];
    for (int i = 0; i < entries; ++i) {
        std::snprintf(line, sizeof line,
                      "-rw-r--r--   1 owner    group    %10d Mar  2 09:15 file-%07d.dat\r\n",
                      i * 37, i);
        listing += line;
    }
    server.ScriptListing("/pub/big", listing);

    auto enumerate = [&](CRFTP& ftp) {
        ftp.SetHREF(L"/pub/big/");
        WIN32_FIND_DATAW data;
        int count = 0;
        Check(ftp.FindFirstFileW(data) == 0, "FindFirstFileW");
        do ++count;
        while (ftp.FindNextFileW(data) == 0);
        Check(count == entries, "listing size");
    };
    std::vector<double> bare, enumerated, again;
    for (int run = 0; run < 5; ++run) {
        bare.push_back(Seconds([&] { BareTransfer(Url(server, "/pub/big/", false)); }));
        CRFTP ftp;
        ftp.SetServer(server.HostPort().c_str());
        enumerated.push_back(Seconds([&] { enumerate(ftp); }));
        // The same object again: the records' storage is kept, so no fresh memory is touched.
        again.push_back(Seconds([&] { enumerate(ftp); }));
    }
    const double t = Median(bare), e = Median(enumerated), a = Median(again);
    std::printf("(a) listing of %d entries (%.1f MB), median of 5\n", entries,
                listing.size() / 1e6);
    std::printf("    bare libcurl transfer           %8.1f ms\n", t * 1e3);
    std::printf(
        "    FindFirstFileW + FindNextFileW  %8.1f ms: parse and convert %.2f x the transfer\n",
        e * 1e3, (e - t) / t);
    std::printf(
        "    the same on a reused object     %8.1f ms: parse and convert %.2f x the transfer\n",
        a * 1e3, (a - t) / t);
}

void MakeTree(const rktest::FtpTestServer& server, const std::string& path, int dirs, int files) {
    for (int d = 0; d < dirs; ++d) {
        const std::string dir = path + "/d" + std::to_string(d);
        rktest::MakeDirs(dir);
        for (int f = 0; f < files / dirs; ++f) {
            rktest::WriteFile(dir + "/f" + std::to_string(f), "x");
        }
    }
    server.HandOver(path);
}

double RemoveWithLibrary(const rktest::FtpTestServer& server, bool user, int reuse) {
    CRFTP ftp;
    ftp.SetServer(server.HostPort().c_str());
    if (user) {
        ftp.SetNeedAuthentication(1);
        ftp.SetUserName(L"rk");
        ftp.SetPassword(L"secret");
    }
    ftp.SetReuseConnections(reuse);
    ftp.SetHREF(L"/pub/");
    return Seconds([&] {
        Check(ftp.Connect() == 0, "Connect");
        Check(ftp.RemoveDirectoryTree(L"tree") == 0, "RemoveDirectoryTree");
    });
}

double RemoveWithLftp(const rktest::FtpTestServer& server, bool user) {
    const std::string command = "lftp -p " + std::to_string(server.Port()) + " -u " +
                                (user ? "rk,secret" : "anonymous,") +
                                " -e 'set ftp:ssl-allow no; set cmd:fail-exit yes; "
                                "rm -r /pub/tree; quit' 127.0.0.1 > /dev/null 2>&1";
    double seconds = 0;
    seconds = Seconds([&] { Check(std::system(command.c_str()) == 0, "lftp rm -r"); });
    return seconds;
}

void RemovalBench(const char* label, rktest::FtpTestServer& server, bool user, int files) {
    const std::string tree = server.Pub() + "/tree";
    std::vector<double> off, on, lftp;
    for (int run = 0; run < 3; ++run) {
        MakeTree(server, tree, 10, files);
        off.push_back(RemoveWithLibrary(server, user, 0));
        MakeTree(server, tree, 10, files);
        on.push_back(RemoveWithLibrary(server, user, 1));
        MakeTree(server, tree, 10, files);
        lftp.push_back(RemoveWithLftp(server, user));
        Check(!rktest::Exists(tree), "tree removed");
    }
    const double l = Median(lftp);
    std::printf("(b) %s: removing %d files in 10 directories, median of 3\n", label, files);
    std::printf("    lftp rm -r                      %8.1f ms\n", l * 1e3);
    std::printf("    RemoveDirectoryTree, reuse off  %8.1f ms = %.2f x lftp\n", Median(off) * 1e3,
                Median(off) / l);
    std::printf("    RemoveDirectoryTree, reuse on   %8.1f ms = %.2f x lftp\n", Median(on) * 1e3,
                Median(on) / l);
}

void TransferBench(long long bytes) {
    rktest::VsftpdServer& server = rktest::SharedVsftpdServer();
    rktest::TempDir tmp;
    const std::string source = tmp.Path() + "/source.bin";
    {
        std::FILE* f = std::fopen(source.c_str(), "wb");
        std::vector<char> block(1 << 20);
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131);
        for (long long done = 0; done < bytes; done += static_cast<long long>(block.size())) {
            std::fwrite(block.data(), 1, block.size(), f);
        }
        std::fclose(f);
    }
    const std::string url = Url(server, "/pub/upload.bin", false);
    const double mb = static_cast<double>(bytes) / (1 << 20);

    const double curlPut = Seconds(
        [&] { Check(std::system(("curl -sS -T " + source + " " + url).c_str()) == 0, "curl -T"); });
    CRFTP ftp;
    ftp.SetServer(server.HostPort().c_str());
    ftp.SetHREF(L"/pub/upload.bin");
    const long before = rkbench::ResetPeakKiB();
    const double put = Seconds([&] {
        Check(ftp.PutFile(std::wstring(source.begin(), source.end()).c_str()) == 0, "PutFile");
    });
    const long growth = rkbench::PeakKiB() - before;
    // Both write the same local file; GetFileTo runs before GetFile, whose body in memory
    // would hide any growth of the peak.
    const std::string target = tmp.Path() + "/target.bin";
    const std::wstring wideTarget(target.begin(), target.end());
    std::vector<double> curlToFileRounds, getToRounds;
    long growthTo = 0;
    for (int round = 0; round < 3; ++round) {  // disk writes vary most: medians of three
        curlToFileRounds.push_back(Seconds([&] {
            Check(std::system(("curl -sS -o " + target + " " + url).c_str()) == 0, "curl -o file");
        }));
        std::remove(target.c_str());
        const long beforeTo = rkbench::ResetPeakKiB();
        getToRounds.push_back(
            Seconds([&] { Check(ftp.GetFileTo(wideTarget.c_str(), 0) == 0, "GetFileTo"); }));
        growthTo = std::max(growthTo, rkbench::PeakKiB() - beforeTo);
        std::remove(target.c_str());
    }
    const double curlToFile = Median(curlToFileRounds);
    const double getTo = Median(getToRounds);
    const double curlGet = Seconds(
        [&] { Check(std::system(("curl -sS -o /dev/null " + url).c_str()) == 0, "curl -o"); });
    const double get = Seconds([&] { Check(ftp.GetFile() == 0, "GetFile"); });
    ftp.Close();

    std::printf("(c) vsftpd: %.0f MiB transfers\n", mb);
    std::printf("    curl -T       %7.0f MiB/s\n", mb / curlPut);
    std::printf("    PutFile       %7.0f MiB/s = %.2f x curl; peak memory grew %ld KiB\n", mb / put,
                curlPut / put, growth);
    std::printf("    curl -o file  %7.0f MiB/s\n", mb / curlToFile);
    std::printf("    GetFileTo     %7.0f MiB/s = %.2f x curl; peak memory grew %ld KiB\n",
                mb / getTo, curlToFile / getTo, growthTo);
    std::printf("    curl -o null  %7.0f MiB/s\n", mb / curlGet);
    std::printf("    GetFile       %7.0f MiB/s = %.2f x curl (the body is kept in memory)\n",
                mb / get, curlGet / get);
}

}  // namespace

int main(int argc, char** argv) {
    // Arguments: --quick (sizes divided by ten), and any of a, b, c to run only those parts.
    int scale = 1;
    std::string parts;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            scale = 10;
        } else {
            parts += argv[i];
        }
    }
    if (parts.empty()) parts = "abc";
    curl_global_init(CURL_GLOBAL_ALL);
    if (parts.find('a') != std::string::npos) ListingBench(100000 / scale);
    if (parts.find('b') != std::string::npos) {
        RemovalBench("vsftpd", rktest::SharedVsftpdServer(), false, 1000 / scale);
        RemovalBench("pyftpdlib", rktest::SharedPyFtpServer(), true, 1000 / scale);
    }
    if (parts.find('c') != std::string::npos) TransferBench((1LL << 30) / scale);
    curl_global_cleanup();
    return 0;
}
