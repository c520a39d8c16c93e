// RemoveDirectoryTree: the order of the walk as the server saw it, its failures, the
// enumeration it puts back, and what a hostile listing cannot make it do.
#include <gtest/gtest.h>
#include <unistd.h>

#include "FtpFixture.h"

using rktest::LogCapture;

namespace {

// The walk of the worked example, as the server receives it: our "PWD " (with its blank),
// the listings, and the deletions.
const std::vector<std::string> kWorkedExample = {"PWD ",    "LIST", "LIST",    "DELE f1", "PWD ",
                                                 "LIST",    "LIST", "DELE g1", "LIST",    "RMD s1",
                                                 "DELE f2", "LIST", "RMD d"};

class TreeRemovalTest : public PyFtpTest {
protected:
    void MakeExampleTree() {
        rktest::MakeDirs(local + "/d/s1");
        rktest::WriteFile(local + "/d/f1", "1");
        rktest::WriteFile(local + "/d/s1/g1", "g");
        rktest::WriteFile(local + "/d/f2", "2");
        // pyftpdlib lists in name order; make it the order of the example: f1, s1, f2.
        server.ScriptListing(remote + "/d",
                             "-rw-r--r-- 1 u g 1 Nov 30  2024 f1\r\n"
                             "drwxr-xr-x 2 u g 4096 Nov 30  2024 s1\r\n"
                             "-rw-r--r-- 1 u g 1 Nov 30  2024 f2\r\n");
    }
    std::vector<std::string> Walk() {
        std::vector<std::string> walk;
        for (const std::string& c : server.Commands()) {
            if (c == "PWD " || c == "LIST" || c.rfind("DELE ", 0) == 0 || c.rfind("RMD ", 0) == 0) {
                walk.push_back(c);
            }
        }
        return walk;
    }
    int Logins() { return static_cast<int>(Only(server.Commands(), {"USER "}).size()); }
};

TEST_F(TreeRemovalTest, WorkedExample) {
    MakeExampleTree();
    TestFtp ftp;
    Open(ftp);
    LogCapture log;
    ASSERT_EQ(ftp.RemoveDirectoryTree(L"d"), 0);
    EXPECT_FALSE(rktest::Exists(local + "/d"));
    EXPECT_EQ(Walk(), kWorkedExample);
    EXPECT_EQ(ftp.m_href, remote + "/");
    EXPECT_TRUE(FailureCodes(log).empty());
    EXPECT_GT(Logins(), 1);  // each request logs in anew
    const auto traces = log.Traces();
    EXPECT_EQ(std::count(traces.begin(), traces.end(), ">CRFTP::RemoveDirectoryTree"), 2);
}

TEST_F(TreeRemovalTest, WorkedExampleOnOneReusedConnection) {
    MakeExampleTree();
    TestFtp ftp;
    ftp.SetReuseConnections(1);
    Open(ftp);
    ASSERT_EQ(ftp.RemoveDirectoryTree(L"d"), 0);
    EXPECT_FALSE(rktest::Exists(local + "/d"));
    EXPECT_EQ(Walk(), kWorkedExample);
    EXPECT_EQ(Logins(), 0);  // the session's login, made by Open, serves the whole walk
}

TEST_F(TreeRemovalTest, HostEnumerationContinuesAfterTheCall) {
    rktest::MakeDirs(local + "/t1/inner");
    rktest::WriteFile(local + "/t1/inner/x", "");
    rktest::MakeDirs(local + "/t2");
    rktest::WriteFile(local + "/z", "");
    TestFtp ftp;
    Open(ftp);
    WIN32_FIND_DATAW data;
    ASSERT_EQ(ftp.FindFirstFileW(data), 0);
    ASSERT_EQ(std::wstring(data.cFileName), L"t1");
    ASSERT_EQ(ftp.RemoveDirectoryTree(data.cFileName), 0);
    ASSERT_EQ(ftp.FindNextFileW(data), 0);
    EXPECT_EQ(std::wstring(data.cFileName), L"t2");
    EXPECT_EQ(ftp.RemoveDirectoryTree(L"missing"), 2518);  // fails: enumeration still put back
    ASSERT_EQ(ftp.FindNextFileW(data), 0);
    EXPECT_EQ(std::wstring(data.cFileName), L"z");
    EXPECT_EQ(ftp.FindNextFileW(data), -1);
}

TEST_F(TreeRemovalTest, FailuresAndTheirCodes) {
    rktest::MakeDirs(local + "/top/deep");
    rktest::WriteFile(local + "/top/locked", "");
    rktest::WriteFile(local + "/top/deep/locked", "");
    server.ScriptReply("DELE locked", "550 Not allowed.");
    TestFtp ftp;
    Open(ftp);

    LogCapture log;
    EXPECT_EQ(ftp.RemoveDirectoryTree(L"missing"), 2518);
    EXPECT_EQ(FailureCodes(log), (std::vector<int>{2509, 2517, 2514, 2518}));
    EXPECT_EQ(ftp.m_href, remote + "/missing/");

    // A file directly inside: 2511; one level deeper: 2518 on top.
    ASSERT_EQ(ftp.SetCurrentDirectoryW(rktest::Wide(remote).c_str()), 0);
    server.ScriptListing(remote + "/top", "-rw-r--r-- 1 u g 1 Nov 30  2024 locked\r\n");
    log.Clear();
    EXPECT_EQ(ftp.RemoveDirectoryTree(L"top"), 2511);
    EXPECT_EQ(FailureCodes(log), (std::vector<int>{2513, 2511, 2511}));
    EXPECT_EQ(ftp.m_href, remote + "/top/");  // where the walk stopped

    ASSERT_EQ(ftp.SetCurrentDirectoryW(rktest::Wide(remote).c_str()), 0);
    server.ScriptListing(remote + "/top", "drwxr-xr-x 2 u g 4096 Nov 30  2024 deep\r\n");
    log.Clear();
    EXPECT_EQ(ftp.RemoveDirectoryTree(L"top"), 2518);
    EXPECT_EQ(FailureCodes(log), (std::vector<int>{2513, 2511, 2511, 2518}));

    // An entry the listing does not show stays, and the final RMD fails.
    ASSERT_EQ(ftp.SetCurrentDirectoryW(rktest::Wide(remote).c_str()), 0);
    server.ScriptListing(remote + "/top", "total 0\r\n");
    log.Clear();
    EXPECT_EQ(ftp.RemoveDirectoryTree(L"top"), 2518);
    EXPECT_EQ(FailureCodes(log), (std::vector<int>{2513, 2518, 2518}));
    EXPECT_EQ(ftp.m_href, remote + "/");
}

// A listing that tries to lead the walk out of its tree or onto a second command.
TEST_F(TreeRemovalTest, HostileListingCannotLeadTheWalkOutside) {
    rktest::MakeDirs(local + "/outside");
    rktest::WriteFile(local + "/outside/keep.txt", "keep");
    rktest::MakeDirs(local + "/tree");
    rktest::WriteFile(local + "/tree/f", "");
    ASSERT_EQ(::symlink((local + "/outside").c_str(), (local + "/tree/lnk").c_str()), 0);
    server.ScriptListing(remote + "/tree",
                         "drwxr-xr-x 2 u g 4096 Nov 30  2024 .\r\n"
                         "drwxr-xr-x 2 u g 4096 Nov 30  2024 ..\r\n"
                         "drwxr-xr-x 2 u g 4096 Nov 30  2024 ../outside\r\n"
                         "drwxr-xr-x 2 u g 4096 Nov 30  2024 /pub\r\n"
                         "-rw-r--r-- 1 u g 4 Nov 30  2024 ..\\outside\\keep.txt\r\n"
                         "lrwxrwxrwx 1 u g 7 Nov 30  2024 lnk -> ../outside\r\n"
                         "-rw-r--r-- 1 u g 0 Nov 30  2024 f\r\n");
    TestFtp ftp;
    Open(ftp);
    ASSERT_EQ(ftp.RemoveDirectoryTree(L"tree"), 0);
    EXPECT_FALSE(rktest::Exists(local + "/tree"));
    EXPECT_EQ(rktest::ReadFile(local + "/outside/keep.txt"), "keep");
    EXPECT_EQ(Only(server.Commands(), {"DELE", "RMD"}),
              (std::vector<std::string>{"DELE lnk", "DELE f", "RMD tree"}));
    for (const std::string& command : server.Commands()) {
        EXPECT_EQ(command.find("outside"), std::string::npos) << command;
        EXPECT_EQ(command.find("/pub "), std::string::npos) << command;
    }
}

// pyftpdlib's own listing of a real link to a directory: the link goes, its target stays.
TEST_F(TreeRemovalTest, RealLinkIsRemovedAsTheLinkItself) {
    rktest::MakeDirs(local + "/target");
    rktest::WriteFile(local + "/target/keep.txt", "keep");
    rktest::MakeDirs(local + "/tree");
    ASSERT_EQ(::symlink((local + "/target").c_str(), (local + "/tree/to-target").c_str()), 0);
    TestFtp ftp;
    Open(ftp);
    ASSERT_EQ(ftp.RemoveDirectoryTree(L"tree"), 0);
    EXPECT_FALSE(rktest::Exists(local + "/tree"));
    EXPECT_EQ(rktest::ReadFile(local + "/target/keep.txt"), "keep");
}

TEST_F(TreeRemovalTest, EmptyDirectory) {
    rktest::MakeDirs(local + "/empty");
    TestFtp ftp;
    Open(ftp);
    ASSERT_EQ(ftp.RemoveDirectoryTree(L"empty"), 0);
    EXPECT_EQ(Walk(), (std::vector<std::string>{"PWD ", "LIST", "LIST", "LIST", "RMD empty"}));
}

}  // namespace
