// Awkward names on a real server: every operation with a name that URL text would refuse, cut
// or decode reaches the server byte for byte, and touches nothing but that name.
#include <gtest/gtest.h>

#include <set>

#include "TestFtp.h"

namespace {

class FtpNamesTest : public PyFtpTest {
protected:
    // The commands sent since the last check named only the path down to the test's directory
    // or the awkward name itself (nothing cut, decoded or left encoded), mustSend among them.
    void ExpectOnlyNamed(const std::string& awkward, const Lines& mustSend) {
        const Lines sent =
            Only(server.Commands(), {"CWD ", "MKD ", "RMD ", "RETR ", "STOR ", "DELE "});
        const std::set<std::string> allowed = {"/", "pub", name, awkward};
        for (const std::string& line : sent)
            EXPECT_EQ(allowed.count(line.substr(line.find(' ') + 1)), 1u) << line;
        for (const std::string& line : mustSend)
            EXPECT_TRUE(std::find(sent.begin(), sent.end(), line) != sent.end()) << line;
        server.ClearCommands();
    }
};

TEST_F(FtpNamesTest, EveryOperationSendsTheNameAsItIs) {
    const Lines names = {"New folder", "#recycle", "a?b", "100%", "%41", "caf\xC3\xA9"};
    const rktest::TempDir tmp;
    const std::wstring directory = rktest::Wide(remote + "/");

    for (const std::string& awkward : names) {
        SCOPED_TRACE(awkward);
        const std::wstring wide = oru::helper::NarStrToWideStr(awkward);
        const std::wstring file = directory + wide + L"/" + wide;  // the name inside the name
        const std::string content = "content of " + awkward;
        rktest::WriteFile(tmp.Path("upload"), content);
        TestFtp ftp = Opened();

        ASSERT_EQ(ftp.CreateDirectoryW(wide.c_str()), 0);
        EXPECT_TRUE(rktest::Exists(local + "/" + awkward));
        EXPECT_EQ(ftp.m_href, remote + "/" + awkward + "/");
        ExpectOnlyNamed(awkward, {"CWD " + awkward, "MKD " + awkward});

        ftp.SetHREF(file.c_str());
        ASSERT_EQ(ftp.PutFile(tmp.WidePath("upload").c_str()), 0);
        EXPECT_EQ(rktest::ReadFile(local + "/" + awkward + "/" + awkward), content);
        ASSERT_EQ(ftp.GetFile(), 0);
        EXPECT_EQ(ftp.Response(), content);
        ExpectOnlyNamed(awkward, {"STOR " + awkward, "RETR " + awkward});

        ftp.SetHREF(directory.c_str());
        ASSERT_EQ(ftp.SetCurrentDirectoryW(wide.c_str()), 0);
        EXPECT_NE(ftp.Response().find(awkward), std::string::npos);  // its listing
        EXPECT_EQ(ftp.m_href, remote + "/" + awkward + "/");
        ASSERT_EQ(ftp.DeleteFileW(wide.c_str()), 0);
        EXPECT_FALSE(rktest::Exists(local + "/" + awkward + "/" + awkward));
        ExpectOnlyNamed(awkward, {"DELE " + awkward});  // a reused connection is there already

        // Two levels of the name, a file at the bottom: every step of the walk names it.
        Make(local, {awkward + "/" + awkward + "/" + awkward});
        ftp.SetHREF(directory.c_str());
        ASSERT_EQ(ftp.RemoveDirectoryTree(wide.c_str()), 0);
        EXPECT_FALSE(rktest::Exists(local + "/" + awkward));
        ExpectOnlyNamed(awkward, {"DELE " + awkward, "RMD " + awkward});
    }
}

}  // namespace
