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

std::string ReadFile(const std::wstring& path) {
    std::string content;
    if (std::FILE* in = _wfopen(path.c_str(), L"rb")) {
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
            content.append(chunk, n);
        std::fclose(in);
    }
    return content;
}

bool WriteFile(const std::wstring& path, const std::string& content) {
    std::FILE* out = _wfopen(path.c_str(), L"wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(content.data(), 1, content.size(), out) == content.size();
    return std::fclose(out) == 0 && written;
}

// A file name with a Latin-1 letter and a character beyond the Basic Multilingual Plane.
const std::wstring kName = L"caf\u00E9-\U0001F600.txt";

class FtpClient : public CRFTP {
public:
    using CRFTP::m_response;
};

class WindowsFtp : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("RKCURL_TEST_FTP_PORT").empty()) GTEST_SKIP() << "no FTP server handed in";
    }
    void Open(FtpClient& ftp, const std::wstring& href) {
        ftp.SetServer((L"127.0.0.1:" + Env("RKCURL_TEST_FTP_PORT")).c_str());
        ftp.SetNeedAuthentication(1);
        ftp.SetUserName(Env("RKCURL_TEST_FTP_USER").c_str());
        ftp.SetPassword(Env("RKCURL_TEST_FTP_PASSWORD").c_str());
        ftp.SetHREF(href.c_str());
    }
    std::wstring ServerFile(const std::wstring& name) {
        return OnDriveZ(Env("RKCURL_TEST_FTP_ROOT") + L"/pub/" + name);
    }
};

TEST_F(WindowsFtp, ListingArrivesWithCrLfAndSplitsIntoRecords) {
    FtpClient raw;
    Open(raw, L"/pub/");
    ASSERT_EQ(raw.GetFile(), 0);
    EXPECT_NE(raw.m_response.find("\r\n"), std::string::npos) << raw.m_response;

    FtpClient ftp;
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
    FtpClient download;
    Open(download, L"/pub/hello.txt");
    ASSERT_EQ(download.GetFileTo(local.c_str(), 0), 0);
    EXPECT_EQ(ReadFile(local), "example\n");
    EXPECT_EQ(_wremove(local.c_str()), 0);

    const std::wstring source = TempPath(L"upload-" + kName);
    ASSERT_TRUE(WriteFile(source, "uploaded from Windows\r\n"));
    FtpClient upload;
    Open(upload, L"/pub/uploaded-" + kName);
    ASSERT_EQ(upload.PutFile(source.c_str()), 0);
    EXPECT_EQ(ReadFile(ServerFile(L"uploaded-" + kName)), "uploaded from Windows\r\n");
    EXPECT_EQ(_wremove(source.c_str()), 0);
    EXPECT_EQ(_wremove(ServerFile(L"uploaded-" + kName).c_str()), 0);
}

class HttpClient : public CRHTTP {
public:
    using CRHTTP::m_error;
};

class WindowsHttp : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("RKCURL_TEST_HTTP_PORT").empty()) GTEST_SKIP() << "no HTTP server handed in";
        http.SetServer((L"127.0.0.1:" + Env("RKCURL_TEST_HTTP_PORT")).c_str());
    }
    std::string Response() {
        std::size_t length = 0;
        http.GetResponse(nullptr, 0, length);
        std::string text(length, '\0');
        http.GetResponse(&text[0], text.size(), length);
        return text;
    }
    HttpClient http;
};

TEST_F(WindowsHttp, PagePostsTheFormFields) {
    http.SetHREF(L"/form");
    http.AddMultiPartField(L"colour", L"bl\u00E9u");
    ASSERT_EQ(http.GetPage(), 0);
    const std::string page = Response();
    EXPECT_NE(page.find("submit=send"), std::string::npos) << page;
    EXPECT_NE(page.find("colour=bl\xC3\xA9u"), std::string::npos) << page;
}

TEST_F(WindowsHttp, DownloadToANonAsciiLocalPath) {
    const std::wstring local = TempPath(L"page-" + kName);
    http.SetHREF(L"/hello.txt");
    ASSERT_EQ(http.GetFile(local.c_str()), 0);
    EXPECT_EQ(ReadFile(local), "hello over http\n");
    EXPECT_EQ(_wremove(local.c_str()), 0);
}

TEST_F(WindowsHttp, SecurePageThroughSchannel) {
    const std::wstring port = Env("RKCURL_TEST_HTTPS_PORT");
    if (port.empty()) GTEST_SKIP() << "no HTTPS server handed in";
    http.SetServer((L"127.0.0.1:" + port).c_str());
    http.SetSecure(1);  // the server's self-signed certificate is accepted unchecked
    http.SetHREF(L"/form");
    http.AddMultiPartField(L"colour", L"blue");
    ASSERT_EQ(http.GetPage(), 0) << http.Validate();
    EXPECT_NE(Response().find("colour=blue"), std::string::npos);
}

// The HTTPS server's certificate, signed by a CA made for the run, names DNS localhost and IP
// 127.0.0.1: Schannel must match either form of the host against it.
TEST_F(WindowsHttp, VerifiedTlsByHostNameAndByAddress) {
    const std::wstring port = Env("RKCURL_TEST_HTTPS_PORT");
    const std::wstring ca = Env("RKCURL_TEST_HTTPS_CA");
    const std::wstring otherCa = Env("RKCURL_TEST_HTTPS_OTHER_CA");
    if (port.empty() || ca.empty() || otherCa.empty()) GTEST_SKIP() << "no CA-signed HTTPS server";
    const struct {
        const char* what;
        std::wstring host;
        std::wstring caFile;
        int code;
        int extended;
    } cases[] = {
        {"host name", L"localhost:" + port, ca, 0, 0},
        {"IP address", L"127.0.0.1:" + port, ca, 0, 0},
        {"another CA", L"127.0.0.1:" + port, otherCa, 2509, 60},  // 60: peer failed verification
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HttpClient client;
        client.SetServer(c.host.c_str());
        client.SetSecure(1);
        client.SetVerifyPeer(1);
        client.SetCACertificateFile(OnDriveZ(c.caFile).c_str());
        client.SetHREF(L"/hello.txt");
        EXPECT_EQ(client.GetPage(), c.code) << WideStrToNarStr(client.m_error.GetMessageEx());
        EXPECT_EQ(client.m_error.whatEx(), c.extended);
    }
}

TEST_F(WindowsHttp, MissingPageIsAFailedTransfer) {
    http.SetHREF(L"/missing.txt");
    EXPECT_EQ(http.GetPage(), 2509);
    EXPECT_EQ(http.Validate(), 2509);
}

}  // namespace
