// The session: preparation, transfers, Close, uploads, and how failures are reported.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include "TestFtp.h"

using rktest::CurlInterposer;
using rktest::LogCapture;

namespace {

TEST_F(PyFtpTest, LoggedInSession) {
    rktest::WriteFile(local + "/hello.txt", "hello, world\n");
    TestFtp ftp(&server);
    ftp.SetNeedAuthentication(1);
    ftp.SetUserName(L"rk");
    ftp.SetPassword(L"secret");
    ASSERT_EQ(ftp.Connect(), 0);  // the root listing
    EXPECT_NE(ftp.Response().find("pub"), std::string::npos);
    EXPECT_EQ(ftp.Validate(), 0);
    EXPECT_EQ(Only(server.Commands(), {"USER"}).front(), "USER rk");
    ftp.SetHREF(rktest::Wide(remote + "/hello.txt").c_str());
    LogCapture log;
    ASSERT_EQ(ftp.GetFile(), 0);
    EXPECT_EQ(log.Traces(), (Lines{">CRFTP::GetFile", ">CRFTP::Connect", ">CRFTP::Prepare",
                                   ">CConnection::Prepare", "<CConnection::Prepare",
                                   "<CRFTP::Prepare", "<CRFTP::Connect", "<CRFTP::GetFile"}));
    char body[64];
    std::size_t length = 0;
    ASSERT_EQ(ftp.GetResponse(body, sizeof body, length), 0);
    EXPECT_EQ(std::string(body, length), "hello, world\n");
    log.Clear();
    EXPECT_EQ(ftp.Close() + ftp.Close() + ftp.Validate(), 0);  // twice, and no trace
    EXPECT_EQ(ftp.m_curl, nullptr);
    EXPECT_TRUE(log.Traces().empty());
}

TEST_F(PyFtpTest, ConnectEmptiesTheBodyAndPostFileAppends) {
    rktest::WriteFile(local + "/a.txt", "A");
    TestFtp ftp(&server, remote + "/a.txt");
    ASSERT_EQ(ftp.PostFile(), 0);
    ASSERT_EQ(ftp.PostFile(), 0);
    EXPECT_EQ(ftp.Response(), "AA");
    ASSERT_EQ(ftp.Connect(), 0);
    EXPECT_EQ(ftp.Response(), "A");
    ASSERT_EQ(ftp.GetFile(), 0);
    EXPECT_EQ(ftp.Response(), "A");
    EXPECT_NE(ftp.m_header.find("226"), std::string::npos);  // replies pile up
}

// Each transfer failure is recorded by every operation it passes through.
TEST_F(PyFtpTest, FailuresAreRecordedAlongTheChain) {
    TestFtp ftp(&server, remote + "/missing.txt");
    LogCapture log;
    EXPECT_EQ(Outcome(ftp.GetFile(), log), (Codes{2517, 2509, 2517}));
    EXPECT_EQ(Logged(log, "Extended Error "),
              (Codes{CURLE_REMOTE_FILE_NOT_FOUND, CURLE_REMOTE_FILE_NOT_FOUND}));
    const Lines failures = log.Failures();
    ASSERT_GE(failures.size(), 2u);
    EXPECT_EQ(failures[0].rfind("W|Error Code : Error Desc|3|Connection|", 0), 0u);  // its line
    EXPECT_EQ(failures[1], "M|Error Code : 2509 -- ");
    EXPECT_EQ(ftp.Validate(), 2517);
    EXPECT_EQ(std::wstring(ftp.m_error.GetMessageW()), L"");
    EXPECT_NE(ftp.m_curl, nullptr);  // the handle stays after a failure
    log.Clear();
    EXPECT_EQ(Outcome(ftp.PostFile(), log), (Codes{2509, 2509}));
    log.Clear();
    EXPECT_EQ(Outcome(ftp.Connect(), log), (Codes{2509, 2509}));

    TestFtp absent;
    absent.SetServer(L"127.0.0.1:1");  // nothing listens there
    EXPECT_EQ(absent.GetFile(), 2517);
    EXPECT_EQ(absent.m_error.whatEx(), CURLE_COULDNT_CONNECT);
}

TEST_F(PyFtpTest, PrepareIgnoresItsPrefix) {
    TestFtp ftp(&server, "/pub/");
    ASSERT_EQ(ftp.Prepare(L"http://"), 0);
    const std::string url = "ftp://127.0.0.1:" + std::to_string(server.Port()) + "/pub/";
    const auto calls = CurlInterposer::Setopts();
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [&](const rktest::SetoptCall& c) {
        return c.option == CURLOPT_URL && static_cast<const char*>(c.pointer) == url;
    }));
}

// An upload; after it the handle no longer uploads: a command on it only sends the command.
TEST_F(PyFtpTest, PutFile) {
    rktest::TempDir tmp;
    std::string content(300000, 'x');
    for (std::size_t i = 0; i < content.size(); i += 7) content[i] = 'a' + i % 26;
    rktest::WriteFile(tmp.Path() + "/up.bin", content);
    TestFtp ftp(&server, remote + "/up.bin");
    LogCapture log;
    ASSERT_EQ(ftp.PutFile(rktest::Wide(tmp.Path() + "/up.bin").c_str()), 0);
    EXPECT_EQ(rktest::ReadFile(local + "/up.bin"), content);
    EXPECT_EQ(log.Traces().front(), ">CRFTP::PutFile");
    server.ClearCommands();
    ASSERT_EQ(ftp.Command({"NOOP"}, 0), 0);
    EXPECT_TRUE(Only(server.Commands(), {"STOR", "APPE"}).empty());

    // No local file: 2507 with no libcurl result; a refused upload: 2509.
    log.Clear();
    EXPECT_EQ(Outcome(ftp.PutFile(L"/nonexistent/dir/file.bin"), log), (Codes{2507, 2507}));
    EXPECT_EQ(ftp.m_error.whatEx(), 0);
    EXPECT_TRUE(Logged(log, "Extended Error ").empty());
    ftp.SetHREF(rktest::Wide(remote + "/no/such/dir/up.bin").c_str());
    log.Clear();
    EXPECT_EQ(Outcome(ftp.PutFile(rktest::Wide(tmp.Path() + "/up.bin").c_str()), log),
              (Codes{2509, 2509}));
    EXPECT_NE(ftp.m_error.whatEx(), 0);
}

TEST_F(PyFtpTest, CopiesShareTheHandleAndKeepTheirListing) {
    Make(local, {"1", "2", "3"});
    TestFtp ftp(&server, remote);
    WIN32_FIND_DATAW data;
    ASSERT_EQ(ftp.FindFirstFileW(data), 0);
    TestFtp copy(ftp);
    EXPECT_EQ(copy.m_curl, ftp.m_curl);
    ASSERT_EQ(copy.FindNextFileW(data), 0);
    EXPECT_EQ(std::wstring(data.cFileName), L"2");
    ASSERT_EQ(ftp.FindNextFileW(data), 0);
    EXPECT_EQ(std::wstring(data.cFileName), L"2");

    TestFtp assigned;
    assigned = copy;
    TestFtp& self = assigned;
    assigned = self;  // leaves the listing as it is
    ASSERT_EQ(assigned.FindNextFileW(data), 0);
    EXPECT_EQ(std::wstring(data.cFileName), L"3");
    EXPECT_EQ(assigned.FindNextFileW(data), -1);
    EXPECT_EQ(assigned.m_findIndex, 2u);
    copy.Close();
    EXPECT_EQ(ftp.Command({"NOOP"}, 0), 0);  // the source still holds the handle
}

}  // namespace
