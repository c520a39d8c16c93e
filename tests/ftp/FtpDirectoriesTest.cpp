// Moving and creating directories: the HREF is composed first, then tested on the server.

#include "TestFtp.h"

namespace {

// Without a handle the operation fails after composing the HREF, which is left to see.
TEST(ComposeDirectoryTest, JoinsNormalisesAndEndsInSlash) {
    const std::tuple<const char*, const wchar_t*, const wchar_t*> cases[] = {
        {"/pub/", L"incoming\\new", L"/pub/incoming/new/"},
        {"", L"", L"/"},
        {"/pub", L"data", L"/pub/data/"},
        {"/pub/", L"\\abs\\dir", L"/abs/dir/"},
        {"/pub/", L"x//y/", L"/pub/x//y/"},
    };
    for (const auto& [before, path, after] : cases) {
        SCOPED_TRACE(testing::Message() << before << " + " << after);
        TestFtp ftp(nullptr, before);
        EXPECT_NE(ftp.SetCurrentDirectoryW(path), 0);
        EXPECT_EQ(std::wstring(oru::helper::NarStrToWideStr(ftp.m_href)), after);
    }
}

TEST_F(PyFtpTest, SetCurrentDirectoryTestsTheDirectory) {
    TestFtp ftp = Opened();
    EXPECT_EQ(Outcome([&] { return ftp.SetCurrentDirectoryW(L"missing"); }),
              (Codes{2514, 2509, 2517, 2514}));
    EXPECT_EQ(ftp.m_error.whatEx(), CURLE_REMOTE_ACCESS_DENIED);
    EXPECT_EQ(ftp.m_href, remote + "/missing/");
    // The command runs on the failed request's handle, whose directory libcurl cannot enter.
    EXPECT_EQ(ftp.Pwd(L""), 2515);

    // The server moves up, not the client.
    ASSERT_EQ(ftp.SetCurrentDirectoryW(L"..\\.."), 0);
    EXPECT_EQ(ftp.SetCurrentDirectoryW(L""), 0);
    EXPECT_EQ(ftp.m_href, remote + "/missing/../../");
}

TEST_F(PyFtpTest, CreateDirectoryMakesTheWholePath) {
    rktest::MakeDirs(local + "/a");
    TestFtp ftp = Opened();
    ASSERT_EQ(ftp.CreateDirectoryW(L"a/b/c"), 0);
    EXPECT_EQ(ftp.m_href, remote + "/a/b/c/");
    EXPECT_EQ(Only(server.Commands(), {"MKD"}), (Lines{"MKD b", "MKD c"}));
    ASSERT_EQ(ftp.CreateDirectoryW(L"/pub"), 0);  // exists already
    ASSERT_EQ(ftp.CreateDirectoryTree(rktest::Wide(name + "/x/y").c_str()), 0);
    EXPECT_TRUE(rktest::Exists(local + "/x/y"));

    // The handle is left as an ordinary one: a command on it sends just the command.
    server.ClearCommands();
    ASSERT_EQ(ftp.Command({"NOOP"}, 0), 0);
    EXPECT_TRUE(Only(server.Commands(), {"MKD", "LIST", "RETR"}).empty());
}

TEST_F(PyFtpTest, CreateDirectoryFailures) {
    rktest::WriteFile(local + "/file", "");
    TestFtp ftp = Opened();
    EXPECT_EQ(Outcome([&] { return ftp.CreateDirectoryW(L"file/sub"); }), (Codes{2516, 2516}));
    EXPECT_NE(ftp.m_error.whatEx(), 0);
    EXPECT_EQ(ftp.m_href, remote + "/file/sub/");
    ftp.SetHREF(rktest::Wide(remote).c_str());
    rktest::LogCapture log;
    EXPECT_EQ(Outcome(ftp.CreateDirectoryTree(L"file/sub"), log), (Codes{2516, 2516, 2516}));
    EXPECT_EQ(log.Traces().front(), ">CRFTP::CreateDirectoryTree");
}

}  // namespace
