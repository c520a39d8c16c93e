// vsftpd: FTP over TLS with a certificate that names no host we use, and a second real server
// for the session and the removal.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include "TestFtp.h"

namespace {

class VsftpdTest : public VsftpdFixture<::testing::TestWithParam<int>> {
protected:
    void Open(TestFtp& ftp) { VsftpdFixture::Open(ftp, GetParam()); }
};

TEST_P(VsftpdTest, WholeSession) {
    rktest::WriteFile(local + "/hello.txt", "over tls\n");
    Make(local, {"tree/a/b/x", "tree/y"});
    rktest::TempDir tmp;
    rktest::WriteFile(tmp.Path() + "/up", std::string(100000, 'u'));
    TestFtp ftp;
    Open(ftp);
    EXPECT_NE(ftp.Response().find("hello.txt"), std::string::npos);
    ftp.SetHREF(rktest::Wide(remote + "/hello.txt").c_str());
    ASSERT_EQ(ftp.GetFile(), 0);
    EXPECT_EQ(ftp.Response(), "over tls\n");
    ftp.SetHREF(rktest::Wide(remote + "/up").c_str());
    ASSERT_EQ(ftp.PutFile(rktest::Wide(tmp.Path() + "/up").c_str()), 0);
    EXPECT_EQ(rktest::ReadFile(local + "/up"), std::string(100000, 'u'));

    ftp.SetHREF(rktest::Wide(remote).c_str());
    EXPECT_EQ(ftp.CreateDirectoryW(L"new/deeper"), 0);
    EXPECT_EQ(ftp.SetCurrentDirectoryW(rktest::Wide(remote).c_str()), 0);
    EXPECT_EQ(ftp.Names(), (std::vector<std::wstring>{L"hello.txt", L"new", L"tree", L"up"}));
    EXPECT_EQ(ftp.DeleteFileW(L"hello.txt"), 0);
    EXPECT_EQ(ftp.RemoveDirectoryTree(L"tree"), 0);
    EXPECT_EQ(ftp.RemoveDirectoryTree(L"new"), 0);
    EXPECT_EQ(ftp.Names(), (std::vector<std::wstring>{L"up"}));
    const Lines commands = server->Commands();
    EXPECT_EQ(!Only(commands, {"AUTH "}).empty() && !Only(commands, {"PROT P"}).empty(),
              GetParam() != 0);
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, VsftpdTest, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param != 0 ? "Tls" : "Plain"; });

}  // namespace
