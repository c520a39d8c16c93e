// The clients under Windows against servers on the Linux side (127.0.0.1): a listing with CR LF
// line ends, local files with non-ASCII names through _wfopen, Schannel's checks against a CA file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "RKCurl/RKCurl.h"

namespace {

namespace fs = std::filesystem;

std::wstring Env(const char* name) {
    return oru::helper::NarStrToWideStr(std::getenv(name) != nullptr ? std::getenv(name) : "");
}

// A path on the Linux side as Wine shows it: drive Z:.
std::wstring OnDriveZ(const std::wstring& path) {
    return fs::path(L"Z:" + path).make_preferred().wstring();
}

// The file's content, which is then removed; "" when it cannot be read.
std::string TakeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string content(std::istreambuf_iterator<char>(in), {});
    in.close();
    return fs::remove(path) ? content : "";
}

// A Latin-1 letter and a character beyond the Basic Multilingual Plane.
const std::wstring kName = L"caf\u00E9-\U0001F600.txt";

class WindowsFtp : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("RKCURL_TEST_FTP_PORT").empty()) GTEST_SKIP() << "no FTP server handed in";
    }
    void Open(CRFTP& ftp, const std::wstring& href) {
        ftp.SetServer((L"127.0.0.1:" + Env("RKCURL_TEST_FTP_PORT")).c_str());
        ftp.SetNeedAuthentication(1);
        ftp.SetUserName(Env("RKCURL_TEST_FTP_USER").c_str());
        ftp.SetPassword(Env("RKCURL_TEST_FTP_PASSWORD").c_str());
        ftp.SetHREF(href.c_str());
    }
};

// No name may keep the CR of its line.
TEST_F(WindowsFtp, ListingArrivesWithCrLfAndSplitsIntoRecords) {
    CRFTP ftp;
    Open(ftp, L"/pub/");
    std::set<std::wstring> names;
    WIN32_FIND_DATAW entry;
    int rc = ftp.FindFirstFileW(entry);
    for (; rc == 0; rc = ftp.FindNextFileW(entry)) {
        const bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        names.insert(entry.cFileName + std::wstring(directory ? L"/" : L""));
    }
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(names, (std::set<std::wstring>{L"hello.txt", kName, L"sub/"}));
}

TEST_F(WindowsFtp, DownloadAndUploadThroughNonAsciiLocalPaths) {
    const fs::path local = fs::temp_directory_path() / (L"download-" + kName);
    CRFTP ftp;
    Open(ftp, L"/pub/hello.txt");
    ASSERT_EQ(ftp.GetFileTo(local.c_str(), 0), 0);
    EXPECT_EQ(TakeFile(local), "example\n");

    const fs::path source = fs::temp_directory_path() / (L"upload-" + kName);
    std::ofstream(source, std::ios::binary) << "uploaded from Windows\r\n";
    ftp.SetHREF((L"/pub/uploaded-" + kName).c_str());
    ASSERT_EQ(ftp.PutFile(source.c_str()), 0);
    const std::wstring root = Env("RKCURL_TEST_FTP_ROOT");
    EXPECT_EQ(TakeFile(OnDriveZ(root + L"/pub/uploaded-" + kName)), "uploaded from Windows\r\n");
    EXPECT_EQ(TakeFile(source), "uploaded from Windows\r\n");
}

// The certificate, signed by a CA made for the run, names DNS localhost and IP 127.0.0.1:
// Schannel must match either form of the host, refuse another CA, and accept it unchecked.
TEST(WindowsHttps, SchannelChecksTheHostByNameAndByAddress) {
    const std::wstring port = Env("RKCURL_TEST_HTTPS_PORT");
    const std::wstring ca = Env("RKCURL_TEST_HTTPS_CA");
    const std::wstring otherCa = Env("RKCURL_TEST_HTTPS_OTHER_CA");
    if (port.empty() || ca.empty() || otherCa.empty()) GTEST_SKIP() << "no CA-signed HTTPS server";
    const struct {
        const char* what;
        std::wstring host, caFile;
        int verify, code, extended;
    } cases[] = {
        {"host name", L"localhost:" + port, ca, 1, 0, 0},
        {"IP address", L"127.0.0.1:" + port, ca, 1, 0, 0},
        {"another CA", L"127.0.0.1:" + port, otherCa, 1, 2509, 60},  // 60: peer failed verification
        {"unchecked", L"127.0.0.1:" + port, otherCa, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CRHTTP client;
        client.SetServer(c.host.c_str());
        client.SetSecure(1);
        client.SetVerifyPeer(c.verify);
        client.SetCACertificateFile(OnDriveZ(c.caFile).c_str());
        client.SetHREF(L"/form");
        EXPECT_EQ(client.GetPage(), c.code)
            << oru::helper::WideStrToNarStr(client.GetError().GetMessageEx());
        EXPECT_EQ(client.GetError().whatEx(), c.extended);
    }
}

}  // namespace
