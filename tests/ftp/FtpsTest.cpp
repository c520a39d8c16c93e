// vsftpd: FTP over TLS with a certificate that names no host we use, and a second real server
// for the session, the removal and the failure codes.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "TestFtp.h"

using rktest::LogCapture;

namespace {

class VsftpdTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        // vsftpd changes to its own unprivileged user for every session: it must start as root.
        if (::geteuid() != 0) GTEST_SKIP() << "vsftpd needs to be started as root";
        server = &rktest::SharedVsftpdServer();
        name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        local = server->Pub() + "/" + name;
        remote = "/pub/" + name;
        rktest::MakeDirs(local);
        server->HandOver(local);
        server->ClearCommands();
    }
    void Open(TestFtp& ftp) {
        ftp.SetServer(server->HostPort().c_str());
        ftp.SetSecure(GetParam());
        ftp.SetHREF(rktest::Wide(remote + "/").c_str());
        ASSERT_EQ(ftp.Connect(), 0);
    }
    rktest::VsftpdServer* server = nullptr;
    std::string name, local, remote;
};

TEST_P(VsftpdTest, WholeSession) {
    rktest::WriteFile(local + "/hello.txt", "over tls\n");
    rktest::MakeDirs(local + "/tree/a/b");
    rktest::WriteFile(local + "/tree/a/b/x", "x");
    rktest::WriteFile(local + "/tree/y", "y");
    server->HandOver(local);
    TestFtp ftp;
    Open(ftp);
    EXPECT_NE(ftp.Response().find("hello.txt"), std::string::npos);
    ftp.SetHREF(rktest::Wide(remote + "/hello.txt").c_str());
    ASSERT_EQ(ftp.GetFile(), 0);
    EXPECT_EQ(ftp.Response(), "over tls\n");

    ftp.SetHREF(rktest::Wide(remote).c_str());
    EXPECT_EQ(ftp.Names(), (std::vector<std::wstring>{L"hello.txt", L"tree"}));
    EXPECT_EQ(ftp.CreateDirectoryW(L"new/deeper"), 0);
    EXPECT_TRUE(rktest::Exists(local + "/new/deeper"));
    EXPECT_EQ(ftp.SetCurrentDirectoryW(rktest::Wide(remote).c_str()), 0);
    EXPECT_EQ(ftp.DeleteFileW(L"hello.txt"), 0);
    EXPECT_EQ(ftp.RemoveDirectoryTree(L"tree"), 0);
    EXPECT_EQ(ftp.RemoveDirectoryTree(L"new"), 0);
    EXPECT_FALSE(rktest::Exists(local + "/tree") || rktest::Exists(local + "/new") ||
                 rktest::Exists(local + "/hello.txt"));

    rktest::TempDir tmp;
    rktest::WriteFile(tmp.Path() + "/up", std::string(100000, 'u'));
    ftp.SetHREF(rktest::Wide(remote + "/up").c_str());
    ASSERT_EQ(ftp.PutFile(rktest::Wide(tmp.Path() + "/up").c_str()), 0);
    EXPECT_EQ(rktest::ReadFile(local + "/up"), std::string(100000, 'u'));
    ftp.Close();

    const auto commands = server->Commands();
    const bool tls = !Only(commands, {"AUTH "}).empty() && !Only(commands, {"PROT P"}).empty();
    EXPECT_EQ(tls, GetParam() != 0);
}

TEST_P(VsftpdTest, FailureCodes) {
    rktest::MakeDirs(local + "/full/x");
    server->HandOver(local);
    TestFtp ftp;
    Open(ftp);
    struct Case {
        const char* what;
        std::function<int(TestFtp&)> call;
        std::vector<int> chain;
    };
    const std::vector<Case> cases = {
        {"missing file", [](TestFtp& f) { return f.DeleteFileW(L"nothing"); }, {2513, 2511}},
        {"not empty", [](TestFtp& f) { return f.RemoveDirectoryW(L"full"); }, {2513, 2518}},
        {"refused command", [](TestFtp& f) { return f.Command({"BOGUS"}, 0); }, {2513}},
        {"missing dir",
         [](TestFtp& f) { return f.SetCurrentDirectoryW(L"nothing"); },
         {2509, 2517, 2514}},
        {"cannot create",
         [](TestFtp& f) { return f.CreateDirectoryTree(L"/forbidden/x"); },
         {2516, 2516}},
        {"missing tree",
         [](TestFtp& f) { return f.RemoveDirectoryTree(L"nothing"); },
         {2509, 2517, 2514, 2518}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ftp.SetHREF(rktest::Wide(remote + "/").c_str());
        ASSERT_EQ(ftp.Connect(), 0);
        LogCapture log;
        EXPECT_EQ(c.call(ftp), c.chain.back());
        EXPECT_EQ(FailureCodes(log), c.chain);
        EXPECT_NE(ftp.m_error.whatEx(), 0);
    }
}

// One login for a whole tree removal when connections are reused.
TEST_P(VsftpdTest, ReusedConnectionLogsInOnce) {
    for (int d = 0; d < 3; ++d) {
        const std::string dir = local + "/tree/d" + std::to_string(d);
        rktest::MakeDirs(dir);
        for (int f = 0; f < 3; ++f) rktest::WriteFile(dir + "/f" + std::to_string(f), "");
    }
    server->HandOver(local);
    TestFtp ftp;
    ftp.SetReuseConnections(1);
    Open(ftp);
    ASSERT_EQ(ftp.RemoveDirectoryTree(L"tree"), 0);
    EXPECT_FALSE(rktest::Exists(local + "/tree"));
    EXPECT_EQ(Only(server->Commands(), {"USER "}).size(), 1u);
    EXPECT_EQ(Only(server->Commands(), {"DELE "}).size(), 9u);
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, VsftpdTest, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param != 0 ? std::string("Tls") : std::string("Plain");
                         });

}  // namespace
