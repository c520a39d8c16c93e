// GetDirectoryTree and PutDirectoryTree against pyftpdlib and vsftpd.
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "TestFtp.h"

namespace {

// The file's modification time, once set to set (unless 0).
time_t Mtime(const std::string& path, time_t set = 0) {
    const struct utimbuf times { set, set };
    if (set != 0) ::utime(path.c_str(), &times);
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mtime;
}

// Every entry below root, sorted: "dir/", or "name=content" and "@mtime" when asked.
Lines Tree(const std::string& root, bool times = false) {
    Lines found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        const std::string path = e.path().string().substr(root.size() + 1);
        const std::string at = times ? "@" + std::to_string(Mtime(e.path())) : "";
        found.push_back(e.is_directory() ? path + "/"
                                         : path + "=" + rktest::ReadFile(e.path()) + at);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The report as "path:action" (and ":code" for failures), in report order.
Lines Report(const CRFTP& ftp) {
    Lines lines;
    for (const CRTreeEntry& e : ftp.GetTreeReport()) {
        lines.push_back(oru::helper::WideStrToNarStr(e.path) + ":" + std::to_string(e.action) +
                        (e.code != 0 ? ":" + std::to_string(e.code) : ""));
    }
    return lines;
}

const Lines kSample = {"a.txt", "d/", "d/b #1.txt", "d/e/", "d/e/c", "empty/"};

class TreeTransferTest : public PyFtpTest {
protected:
    TestFtp Session(int connections = 1) {
        TestFtp ftp(&server, remote + "/");
        ftp.SetTreeConnections(connections);
        return ftp;
    }
    rktest::TempDir target;
};

// Up and down over 1 and 4 connections: the same tree arrives with the source's times (MFMT, each
// carried by the next file's STOR, then MLSD); without kept times a file is new.
TEST_F(TreeTransferTest, RoundTrip) {
    for (int connections : {1, 4}) {
        SCOPED_TRACE(connections);
        const std::string up = "up" + std::to_string(connections);
        const std::string source = target.Path("src" + up);
        Make(source, kSample);
        for (const char* f : {"/a.txt", "/d/b #1.txt", "/d/e/c"}) Mtime(source + f, 1500000000);
        TestFtp ftp = Session(connections);
        ASSERT_EQ(ftp.PutDirectoryTree(rktest::Wide(source).c_str(), rktest::Wide(up).c_str()), 0);
        EXPECT_EQ(Tree(local + "/" + up, true), Tree(source, true));
        EXPECT_EQ(Report(ftp),
                  (Lines{"a.txt:1", "d:4", "d/b #1.txt:1", "d/e:4", "d/e/c:1", "empty:4"}));
        EXPECT_EQ(ftp.GetTreeReport()[0].bytes, 5u);
        const std::string back = target.Path("back" + up + "/new");
        server.ClearCommands();
        ASSERT_EQ(ftp.GetDirectoryTree(rktest::Wide(up).c_str(), rktest::Wide(back).c_str()), 0);
        EXPECT_EQ(Tree(back, true), Tree(source, true));
        std::string kinds;  // files start while later directories are still being listed
        for (const std::string& c : Only(server.Commands(), {"RETR", "MLSD"})) kinds += c[0];
        EXPECT_NE(kinds.find("RM"), std::string::npos) << kinds;
        ftp.SetTreeKeepTimes(0);
        ASSERT_EQ(ftp.GetDirectoryTree(rktest::Wide(up).c_str(), target.WidePath(up).c_str()), 0);
        EXPECT_GT(Mtime(target.Path(up + "/a.txt")), 1500000000);
    }
}

// Against a target holding an identical file, a same-size file changed on the server (both
// with the same time), and lacking a third.
TEST_F(TreeTransferTest, CompareModes) {
    TestFtp plain = Session();  // a server without a checksum command fails before transferring
    plain.SetTreeCompare(RKTREE_CHECKSUM);
    EXPECT_EQ(plain.GetDirectoryTree(L"", target.WidePath("t").c_str()), 2521);
    EXPECT_NE(std::wstring(plain.m_error.GetMessageW()).find(L"checksum"), std::wstring::npos);
    server.ScriptHashes();
    const std::tuple<const char*, int, Lines> cases[] = {
        {"size and time", RKTREE_SIZE_AND_TIME, {"changed:0", "missing:1", "same:0"}},
        {"always", RKTREE_ALWAYS, {"changed:2", "missing:1", "same:2"}},
        {"checksum", RKTREE_CHECKSUM, {"changed:2", "missing:1", "same:0"}},
    };
    for (const auto& [name, mode, report] : cases) {
        SCOPED_TRACE(name);
        const std::string down = target.Path(std::to_string(mode));
        Make(local, {"same", "changed", "missing"});
        Make(down, {"same", "changed"});
        rktest::WriteFile(local + "/changed", "CHANGED");
        for (const std::string& dir : {local, down}) {
            for (const char* f : {"/same", "/changed"}) Mtime(dir + f, 1700000000);
        }
        TestFtp ftp = Session();
        ftp.SetTreeCompare(mode);
        ASSERT_EQ(ftp.GetDirectoryTree(L"", rktest::Wide(down).c_str()), 0);
        EXPECT_EQ(Report(ftp), report);
    }
}

// Deletion after a complete listing of the source, deepest first; none after a failed one.
TEST_F(TreeTransferTest, DeleteOnlyAfterCompleteListing) {
    Make(local, {"keep", "sub/x"});
    for (bool broken : {false, true}) {
        SCOPED_TRACE(broken);
        const std::string down = target.Path(broken ? "broken" : "whole");
        Make(down, {"keep", "extra", "old/deep/y", "sub/x"});
        if (broken) server.ScriptReply("CWD sub", "550 No such directory.");
        TestFtp ftp = Session();
        ftp.SetTreeDelete(1);
        ftp.SetTreeCompare(RKTREE_MISSING);
        rktest::LogCapture log;
        const Codes outcome = Outcome(ftp.GetDirectoryTree(L"", rktest::Wide(down).c_str()), log);
        EXPECT_EQ(outcome, (broken ? Codes{2521, 2517, 2521} : Codes{0}));  // a record per entry
        EXPECT_EQ(ftp.m_error.whatEx(), broken ? 2517 : 0);  // and the first one's code
        EXPECT_EQ(Report(ftp), (broken ? Lines{"keep:0", "sub:5:2517"}
                                       : Lines{"extra:3", "keep:0", "old:3", "old/deep:3",
                                               "old/deep/y:3", "sub:0", "sub/x:0"}));
        EXPECT_EQ(rktest::Exists(down + "/extra") || rktest::Exists(down + "/old/deep/y"), broken);
    }
}

// A dry run reports the plan and changes nothing on either side.
TEST_F(TreeTransferTest, DryRunChangesNothing) {
    Make(local, {"f", "d/g"});
    const std::string source = target.Path("src");
    Make(source, {"f", "n/h"});
    rktest::WriteFile(source + "/f", "longer");
    TestFtp ftp = Session(4);
    ftp.SetTreeDryRun(1);
    ftp.SetTreeDelete(1);
    ASSERT_EQ(ftp.GetDirectoryTree(L"", target.WidePath("down").c_str()), 0);
    EXPECT_EQ(Report(ftp), (Lines{"d:4", "d/g:1", "f:1"}));
    EXPECT_FALSE(rktest::Exists(target.Path("down")));
    ASSERT_EQ(ftp.PutDirectoryTree(rktest::Wide(source).c_str(), L""), 0);
    EXPECT_EQ(Report(ftp), (Lines{"d:3", "d/g:3", "f:2", "n:4", "n/h:1"}));
    EXPECT_EQ(Only(server.Commands(), {"STOR", "MKD", "DELE", "RMD", "MFMT"}), Lines{});
}

// A server that takes 2 connections from us, asked for 4: the tree still completes.
TEST_F(TreeTransferTest, ServerLimitedToTwoConnections) {
    for (int i = 0; i < 24; ++i) rktest::WriteFile(local + "/f" + std::to_string(i), "f");
    server.ScriptMaxConnections(2);
    TestFtp ftp = Session(4);
    EXPECT_EQ(ftp.GetDirectoryTree(L"", target.WidePath("down").c_str()), 0);
    EXPECT_EQ(Tree(target.Path("down")).size(), 24u);
}

// A server killed in the middle of a file: the tree fails with no partial file left, and the
// rerun against the restarted server fetches only what did not arrive whole.
TEST_F(TreeTransferTest, ServerKilledMidTreeThenRerun) {
    static std::unique_ptr<rktest::PyFtpServer> s_own;
    const auto serve = [] {
        s_own = std::make_unique<rktest::PyFtpServer>();
        for (const char* empty : {"/a", "/c"}) rktest::WriteFile(s_own->Pub() + empty, "");
        rktest::WriteFile(s_own->Pub() + "/b", std::string(4 << 20, 'b'));
    };
    serve();
    s_own->ScriptSlowData();  // b is still under way when its first bytes arrive
    TestFtp ftp(s_own.get(), "/pub/");
    ftp.SetProgressCallback([](void*, double, double now, double, double) {
        if (now > 0) s_own.reset();  // b's first bytes arrived: stops the server's process
        return 0;
    });
    EXPECT_EQ(ftp.GetDirectoryTree(L"", target.WidePath("down").c_str()), 2521);
    const Lines first = Report(ftp);
    EXPECT_EQ(first[1], "b:5:2517");
    for (const std::string& file : Tree(target.Path("down"))) EXPECT_EQ(file.size(), 2u);
    serve();
    ftp.SetServer(s_own->HostPort().c_str());
    ftp.SetProgressCallback(nullptr);
    ASSERT_EQ(ftp.GetDirectoryTree(L"", target.WidePath("down").c_str()), 0);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(Report(ftp)[i][2], first[i][2] == '1' ? '0' : '1');
}

// Hostile names are refused, "." and ".." passed over, a tree 70 levels deep ends at the depth
// limit. The same tree (too costly to make twice) stops RemoveDirectoryTree at its own limit.
TEST_F(TreeTransferTest, HostileListingWritesNothingOutside) {
    std::string deepest = "l";
    for (int i = 0; i < 69; ++i) deepest += "/l";
    Make(local, {"h/con", "h/ok", "h/" + deepest + "/"});
    server.ScriptMachineListing(remote + "/h",
                                "type=file;size=4; ../x\r\ntype=file;size=4; a/b\r\ntype=file;"
                                "size=4; C:x\r\ntype=file;size=5; con\r\ntype=file;size=4; ok\r\n"
                                "type=dir; ..\r\ntype=dir; l\r\n");
    TestFtp ftp = Session();
    EXPECT_EQ(ftp.GetDirectoryTree(L"h", target.WidePath("in/down").c_str()), 2521);
    const Lines report = Report(ftp);
    EXPECT_EQ(Lines(report.begin(), report.begin() + 5),
              (Lines{"../x:6:2521", "C:x:6:2521", "a/b:6:2521", "con:1", "l:4"}));
    ASSERT_EQ(report.size(), 5u + CRFTP::kRemoveTreeMaxDepth + 1);
    deepest.resize((CRFTP::kRemoveTreeMaxDepth + 1) * 2 - 1);  // the first level not entered
    EXPECT_EQ(Lines(report.end() - 2, report.end()), (Lines{deepest + ":6:2521", "ok:1"}));
    EXPECT_FALSE(rktest::Exists(target.Path("x")) || rktest::Exists(target.Path("in/x")));
    ASSERT_EQ(ftp.Connect(), 0);
    server.ClearCommands();
    EXPECT_EQ(ftp.RemoveDirectoryTree(L"h/l"), 2518);
    EXPECT_EQ(Only(server.Commands(), {"PWD ", "RMD", "DELE"}),
              Lines(1 + CRFTP::kRemoveTreeMaxDepth, "PWD "));
    EXPECT_TRUE(rktest::Exists(local + "/h/" + deepest));
}

using VsftpdTreeTest = VsftpdFixture<>;

// vsftpd lists with LIST and has no MFMT: after the round trip nothing has changed, though the
// server's copies are newer than their sources, and no MFMT was sent.
TEST_F(VsftpdTreeTest, RoundTripWithListTimes) {
    rktest::TempDir work;
    Make(work.Path("src"), kSample);
    for (const char* f : {"/a.txt", "/d/b #1.txt", "/d/e/c"})
        Mtime(work.Path("src") + f, 1500000000);
    TestFtp ftp;
    Open(ftp);
    ftp.SetTreeConnections(4);
    ASSERT_EQ(ftp.PutDirectoryTree(work.WidePath("src").c_str(), L"up"), 0);
    ASSERT_EQ(ftp.GetDirectoryTree(L"up", work.WidePath("back").c_str()), 0);
    EXPECT_EQ(Tree(work.Path("back")), Tree(work.Path("src")));
    ASSERT_EQ(ftp.PutDirectoryTree(work.WidePath("src").c_str(), L"up"), 0);
    for (const std::string& line : Report(ftp)) EXPECT_EQ(line.back(), '0') << line;
    EXPECT_EQ(Only(server->Commands(), {"MFMT"}), Lines{});
}

}  // namespace
