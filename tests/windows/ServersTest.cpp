// The clients under Windows against real servers on 127.0.0.1 that run on the Linux side:
// libcurl's listing with its CR LF line ends, local files with non-ASCII names opened through
// _wfopen for downloads and uploads, and Schannel's certificate checks against a CA file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "RKCurl/RKCurl.h"

using oru::helper::NarStrToWideStr;
using oru::helper::WideStrToNarStr;

namespace {

std::wstring Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? NarStrToWideStr(value) : std::wstring();
}

// A server's root as a Windows path: Wine shows the Linux file system as drive Z:.
std::wstring OnDriveZ(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return L"Z:" + path;
}

std::wstring TempPath(const std::wstring& name) {
    wchar_t directory[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, directory);
    return std::wstring(directory, length) + name;
}

// The file's content, which is then removed; "" when it cannot be read.
std::string TakeFile(const std::wstring& path) {
    std::string content;
    if (std::FILE* in = _wfopen(path.c_str(), L"rb")) {
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
            content.append(chunk, n);
        std::fclose(in);
    }
    return _wremove(path.c_str()) == 0 ? content : "";
}

// A file name with a Latin-1 letter and a character beyond the Basic Multilingual Plane.
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

// The server's listing ends its lines with CR LF: no name may keep the CR.
TEST_F(WindowsFtp, ListingArrivesWithCrLfAndSplitsIntoRecords) {
    CRFTP ftp;
    Open(ftp, L"/pub/");
    std::set<std::wstring> files, directories;
    WIN32_FIND_DATAW entry;
    int rc = ftp.FindFirstFileW(entry);
    for (; rc == 0; rc = ftp.FindNextFileW(entry)) {
        const bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        (directory ? directories : files).insert(entry.cFileName);
        if (std::wstring(entry.cFileName) == L"hello.txt") {
            EXPECT_EQ(entry.nFileSizeLow, 8u);
        }
    }
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(files, (std::set<std::wstring>{L"hello.txt", kName}));
    EXPECT_EQ(directories, (std::set<std::wstring>{L"sub"}));
}

TEST_F(WindowsFtp, DownloadAndUploadThroughNonAsciiLocalPaths) {
    const std::wstring local = TempPath(L"download-" + kName);
    CRFTP download;
    Open(download, L"/pub/hello.txt");
    ASSERT_EQ(download.GetFileTo(local.c_str(), 0), 0);
    EXPECT_EQ(TakeFile(local), "example\n");

    const std::wstring source = TempPath(L"upload-" + kName);
    std::FILE* out = _wfopen(source.c_str(), L"wb");
    ASSERT_NE(out, nullptr);
    std::fputs("uploaded from Windows\r\n", out);
    std::fclose(out);
    CRFTP upload;
    Open(upload, L"/pub/uploaded-" + kName);
    ASSERT_EQ(upload.PutFile(source.c_str()), 0);
    const std::wstring root = Env("RKCURL_TEST_FTP_ROOT");
    EXPECT_EQ(TakeFile(OnDriveZ(root + L"/pub/uploaded-" + kName)), "uploaded from Windows\r\n");
    EXPECT_EQ(TakeFile(source), "uploaded from Windows\r\n");
}

class HttpClient : public CRHTTP {
public:
    using CRHTTP::m_error;
    std::string Response() {
        std::size_t length = 0;
        GetResponse(nullptr, 0, length);
        std::string text(length, '\0');
        GetResponse(&text[0], text.size(), length);
        return text;
    }
};

class WindowsHttp : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("RKCURL_TEST_HTTP_PORT").empty()) GTEST_SKIP() << "no HTTP server handed in";
        http.SetServer((L"127.0.0.1:" + Env("RKCURL_TEST_HTTP_PORT")).c_str());
    }
    HttpClient http;
};

TEST_F(WindowsHttp, FormFieldsAndADownloadToANonAsciiLocalPath) {
    http.SetHREF(L"/form");
    http.AddMultiPartField(L"colour", L"bl\u00E9u");
    ASSERT_EQ(http.GetPage(), 0);
    const std::string page = http.Response();
    EXPECT_NE(page.find("submit=send"), std::string::npos) << page;
    EXPECT_NE(page.find("colour=bl\xC3\xA9u"), std::string::npos) << page;

    const std::wstring local = TempPath(L"page-" + kName);
    http.SetHREF(L"/hello.txt");
    ASSERT_EQ(http.GetFile(local.c_str()), 0);
    EXPECT_EQ(TakeFile(local), "hello over http\n");
}

// The HTTPS server's certificate, signed by a CA made for the run, names DNS localhost and IP
// 127.0.0.1: Schannel must match either form of the host against it, and accept it unchecked.
TEST_F(WindowsHttp, SchannelChecksTheHostByNameAndByAddress) {
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
        HttpClient client;
        client.SetServer(c.host.c_str());
        client.SetSecure(1);
        client.SetVerifyPeer(c.verify);
        client.SetCACertificateFile(OnDriveZ(c.caFile).c_str());
        client.SetHREF(L"/form");
        EXPECT_EQ(client.GetPage(), c.code) << WideStrToNarStr(client.m_error.GetMessageEx());
        EXPECT_EQ(client.m_error.whatEx(), c.extended);
        EXPECT_EQ(client.Response().find("submit=send") != std::string::npos, c.code == 0);
    }
}

}  // namespace
