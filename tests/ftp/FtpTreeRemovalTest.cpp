// RemoveDirectoryTree: its walk as the server saw it, its failures and its limits.
#include "TestFtp.h"

namespace {

using TreeRemovalTest = PyFtpTest;

// d holds f1, s1 (holding g1) and f2, listed in that order. The host's own enumeration goes on
// after the call, and with connection reuse the session's login serves the whole walk.
TEST_F(TreeRemovalTest, WorkedExample) {
    Make(local, {"d/f1", "d/s1/g1", "d/f2", "z"});
    server.ScriptListing(remote + "/d", FileLine("f1") + DirLine("s1") + FileLine("f2"));
    TestFtp ftp = Opened();
    WIN32_FIND_DATAW data;
    ASSERT_EQ(ftp.FindFirstFileW(data), 0);
    server.ClearCommands();
    rktest::LogCapture log;
    ASSERT_EQ(Outcome(ftp.RemoveDirectoryTree(data.cFileName), log), Codes{0});
    EXPECT_FALSE(rktest::Exists(local + "/d"));
    // The walk as the server saw it: our "PWD " (with its blank), listings, deletions.
    EXPECT_EQ(Only(server.Commands(), {"PWD ", "LIST", "DELE ", "RMD "}),
              (Lines{"PWD ", "LIST", "LIST", "DELE f1", "PWD ", "LIST", "LIST", "DELE g1", "LIST",
                     "RMD s1", "DELE f2", "LIST", "RMD d"}));
    const std::size_t logins = Only(server.Commands(), {"USER "}).size();
    EXPECT_TRUE(std::getenv("RKCURL_TEST_REUSE") ? logins == 0 : logins > 1) << logins;
    const auto traces = log.Traces();
    EXPECT_EQ(std::count(traces.begin(), traces.end(), ">CRFTP::RemoveDirectoryTree"), 2);
    ASSERT_EQ(ftp.FindNextFileW(data), 0);
    EXPECT_EQ(std::wstring(data.cFileName), L"z");
}

// A missing directory; an undeletable file directly inside (2511) and one level deeper (2518 on
// top); an entry the listing does not show, so that the final RMD fails. The HREF names the
// directory where the walk stopped, and the host's enumeration goes on.
TEST_F(TreeRemovalTest, FailuresAndTheirCodes) {
    Make(local, {"top/locked", "top/deep/locked", "z"});
    server.ScriptReply("DELE locked", "550 Not allowed.");
    const std::tuple<const wchar_t*, std::string, Codes, const char*> cases[] = {
        {L"missing", "", {2518, 2509, 2517, 2514, 2518}, "/missing/"},
        {L"top", FileLine("locked"), {2511, 2513, 2511, 2511}, "/top/"},
        {L"top", DirLine("deep"), {2518, 2513, 2511, 2511, 2518}, "/top/deep/"},
        {L"top", "total 0\r\n", {2518, 2513, 2518, 2518}, "/"},
    };
    TestFtp ftp = Opened();
    WIN32_FIND_DATAW data;
    ASSERT_EQ(ftp.FindFirstFileW(data), 0);
    for (const auto& [path, listing, outcome, stop] : cases) {
        SCOPED_TRACE(stop);
        server.ScriptListing(remote + "/top", listing);
        ASSERT_EQ(ftp.SetCurrentDirectoryW(rktest::Wide(remote).c_str()), 0);
        EXPECT_EQ(Outcome(ftp, &TestFtp::RemoveDirectoryTree, path), outcome);
        EXPECT_EQ(ftp.m_href, remote + stop);
    }
    ASSERT_EQ(ftp.FindNextFileW(data), 0);
    EXPECT_EQ(std::wstring(data.cFileName), L"z");
}

// A listing that tries to lead the walk out of its tree (., .., names with / or \) or onto a
// second command (a CR in a name: libcurl ends the line there, so only a rejected line follows),
// a name cut by a zero byte, and a link to a directory outside: the link goes, not its target.
TEST_F(TreeRemovalTest, HostileListingCannotLeadTheWalkOutside) {
    Make(local, {"outside/keep.txt", "tree/f"});
    ASSERT_EQ(::symlink((local + "/outside").c_str(), (local + "/tree/lnk").c_str()), 0);
    server.ScriptListing(remote + "/tree",
                         DirLine(".") + DirLine("..") + DirLine("../outside") + DirLine("/pub") +
                             FileLine("..\\outside\\keep.txt") +
                             "lrwxrwxrwx 1 u g 7 Nov 30  2024 lnk -> ../outside\r\n" +
                             FileLine("f\rDELE ../outside/keep.txt") +
                             FileLine(std::string("lnk\0", 4)));
    TestFtp ftp = Opened();
    ASSERT_EQ(ftp.RemoveDirectoryTree(L"tree"), 0);
    EXPECT_FALSE(rktest::Exists(local + "/tree"));
    EXPECT_EQ(rktest::ReadFile(local + "/outside/keep.txt"), "outside/keep.txt");
    EXPECT_EQ(Only(server.Commands(), {"DELE", "RMD"}), (Lines{"DELE lnk", "DELE f", "RMD tree"}));
}

// Paths that name the session's directory, a parent or the root: refused before any command.
TEST_F(TreeRemovalTest, RefusedPaths) {
    const wchar_t* const refused[] = {L"",    L".",     L"/",         L"\\",      L"..",     L"//",
                                      L"a/.", L"a\\..", L"keep\\.\\", L"/pub/..", L"../..//"};
    TestFtp ftp = Opened();
    for (const wchar_t* path : refused) {
        SCOPED_TRACE(std::string(path, TestFtp::End(path)));
        server.ClearCommands();
        ftp.m_lastCurlCode = 9;  // an earlier failure's result is not the refusal's
        const rktest::LogCapture log;
        EXPECT_EQ(Outcome(ftp.RemoveDirectoryTree(path), log), (Codes{2518, 2518}));
        EXPECT_EQ(ftp.m_error.whatEx(), 0);
        EXPECT_EQ(server.Commands(), Lines{});
        EXPECT_EQ(ftp.m_href, remote + "/");
    }
}

// Where the directory to return to no longer fits in 260 characters, the walk stops before going
// deeper (a cut path would name another directory): no RMD is sent.
TEST_F(TreeRemovalTest, SavedDirectoryThatDoesNotFitStopsTheWalk) {
    std::string level4 = "t";  // four directories of 60 characters below t
    for (int i = 0; i < 4; ++i) level4 += "/" + std::string(60, 'n');
    const std::string level5 = level4 + "/" + std::string(60, 'n');
    Make(local, {level4 + "/f4", level5 + "/g"});
    TestFtp ftp = Opened();
    ASSERT_GT(remote.size() + 3 + 4 * 61, 259u);  // the HREF of level 4 does not fit
    ASSERT_LE(remote.size() + 3 + 3 * 61, 259u);
    EXPECT_EQ(ftp.RemoveDirectoryTree(L"t"), 2518);
    EXPECT_FALSE(rktest::Exists(local + "/" + level4 + "/f4"));
    EXPECT_TRUE(rktest::Exists(local + "/" + level5 + "/g"));
    EXPECT_EQ(Only(server.Commands(), {"RMD"}), Lines{});
    EXPECT_EQ(Only(server.Commands(), {"PWD ", "LIST"}).back(), "PWD ");
}

}  // namespace
