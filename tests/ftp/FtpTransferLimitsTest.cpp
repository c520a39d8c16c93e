// The connection's limits on FTP: a server that never answers, one that greets and then falls
// silent, and a data transfer that trickles all end the request with libcurl's 28 along the
// operation's failure chain.
#include <functional>

#include "StallingServer.h"
#include "TestFtp.h"

namespace {

using rktest::LogCapture;

TEST(FtpTransferLimitsTest, StalledServerRunsIntoTheTimeout) {
    for (const bool greets : {false, true}) {
        SCOPED_TRACE(greets ? "greets, then silent" : "silent");
        rktest::StallingServer server(greets);
        TestFtp ftp;
        ftp.SetServer(server.Host().c_str());
        ftp.SetNeedAuthentication(1);
        ftp.SetUserName(L"user");
        ftp.SetPassword(L"secret");
        ftp.SetTimeout(500);
        const LogCapture log;
        EXPECT_EQ(Outcome(ftp.Connect(), log), (Codes{2509, 2509}));
        EXPECT_EQ(Logged(log, "Extended Error "), (Codes{CURLE_OPERATION_TIMEDOUT}));
        EXPECT_EQ(ftp.m_error.whatEx(), CURLE_OPERATION_TIMEDOUT);
    }
}

// A download that starts and then trickles (64 bytes a second) runs into the low-speed limit and,
// on its own, into the time limit, long before the file is through.
TEST_F(PyFtpTest, TricklingDownloadRunsIntoTheLimits) {
    rktest::WriteFile(local + "/slow.bin", std::string(65536, 's'));
    server.ScriptThrottle(64);
    const std::pair<std::function<void(CConnection&)>, const wchar_t*> cases[] = {
        {[](CConnection& c) { c.SetLowSpeedLimit(1000, 1); }, L"Operation too slow"},
        {[](CConnection& c) { c.SetTimeout(800); }, L"Operation timed out after"},
    };
    for (const auto& [set, reason] : cases) {  // reason: libcurl's own words
        SCOPED_TRACE(reason);
        server.ClearCommands();
        TestFtp ftp(&server, remote + "/slow.bin");
        set(ftp);
        EXPECT_EQ(Outcome([&] { return ftp.GetFile(); }), (Codes{2517, 2509, 2517}));
        EXPECT_EQ(ftp.m_error.whatEx(), CURLE_OPERATION_TIMEDOUT);
        EXPECT_NE(std::wstring(ftp.m_error.GetMessageEx()).find(reason), std::wstring::npos)
            << std::wstring(ftp.m_error.GetMessageEx());
        EXPECT_EQ(Only(server.Commands(), {"RETR "}), (Lines{"RETR slow.bin"}));
    }
}

}  // namespace
