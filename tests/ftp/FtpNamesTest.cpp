// A name that URL text would refuse, cut or decode reaches the server as it is in every operation.

#include "TestFtp.h"

namespace {

TEST_F(PyFtpTest, EveryOperationSendsTheNameAsItIs) {
    const std::string awkward = "New #1?100% %41 caf\xC3\xA9";
    const std::wstring wide = oru::helper::NarStrToWideStr(awkward);
    // Since the last check, only the path down to here or the awkward name itself was sent.
    const auto expectOnlyNamed = [&](const Lines& mustSend) {
        const Lines sent = Only(server.Commands(), {"CWD ", "MKD ", "RMD ", "DELE "});
        for (const std::string& line : sent) {
            const std::string named = line.substr(line.find(' ') + 1);
            EXPECT_TRUE(named == "/" || named == "pub" || named == name || named == awkward)
                << line;
        }
        for (const std::string& line : mustSend)
            EXPECT_TRUE(std::find(sent.begin(), sent.end(), line) != sent.end()) << line;
        server.ClearCommands();
    };
    TestFtp ftp = Opened();
    ASSERT_EQ(ftp.CreateDirectoryW(wide.c_str()), 0);
    EXPECT_EQ(ftp.m_href, remote + "/" + awkward + "/");
    expectOnlyNamed({"CWD " + awkward, "MKD " + awkward});

    Make(local, {awkward + "/" + awkward});
    ftp.SetHREF(rktest::Wide(remote + "/").c_str());
    ASSERT_EQ(ftp.SetCurrentDirectoryW(wide.c_str()), 0);
    EXPECT_NE(ftp.Response().find(awkward), std::string::npos);  // its listing
    EXPECT_EQ(ftp.m_href, remote + "/" + awkward + "/");
    ASSERT_EQ(ftp.DeleteFileW(wide.c_str()), 0);
    expectOnlyNamed({"DELE " + awkward});  // a reused connection is there already

    // Two levels of the name, a file at the bottom: every step of the walk names it.
    Make(local, {awkward + "/" + awkward + "/" + awkward});
    ftp.SetHREF(rktest::Wide(remote + "/").c_str());
    ASSERT_EQ(ftp.RemoveDirectoryTree(wide.c_str()), 0);
    EXPECT_FALSE(rktest::Exists(local + "/" + awkward));
    expectOnlyNamed({"DELE " + awkward, "RMD " + awkward});
}

}  // namespace
