// Raw commands and the operations built on them, against pyftpdlib's log of what it received.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include "FtpFixture.h"

using rktest::CurlInterposer;
using rktest::LogCapture;

namespace {

TEST_F(PyFtpTest, CommandsGoBeforeOrAfterTheRequestInListOrder) {
    TestFtp ftp;
    Open(ftp);
    ASSERT_EQ(ftp.Command({"NOOP", "MKD one", "MKD two"}, 0), 0);
    EXPECT_TRUE(rktest::Exists(local + "/one") && rktest::Exists(local + "/two"));
    EXPECT_EQ(Only(server.Commands(), {"NOOP", "MKD", "CWD", "LIST", "RETR"}),
              (std::vector<std::string>{"NOOP", "MKD one", "MKD two"}));
    EXPECT_NE(ftp.m_header.find("257"), std::string::npos);  // this call's replies only
    EXPECT_EQ(ftp.m_header.find("226"), std::string::npos);

    // post = 1 after post = 0: the earlier list is not sent again.
    server.ClearCommands();
    ASSERT_EQ(ftp.Command({"RMD one"}, 1), 0);
    EXPECT_EQ(Only(server.Commands(), {"NOOP", "MKD", "RMD"}),
              (std::vector<std::string>{"RMD one"}));
    EXPECT_FALSE(rktest::Exists(local + "/one"));
}

TEST_F(PyFtpTest, EmptyCommandListTouchesNothing) {
    TestFtp ftp;  // not even a handle
    ftp.m_header = "kept";
    ftp.m_error.setErrorCD(oru::shared::error::RKERR_PERFORM, 7);
    EXPECT_EQ(ftp.Command({}, 0), 0);
    EXPECT_EQ(ftp.m_header, "kept");
    EXPECT_EQ(ftp.Validate(), 2509);
    EXPECT_TRUE(CurlInterposer::Setopts().empty());
}

// Without a handle every command operation fails at its first option, with its own code.
TEST_F(PyFtpTest, CommandOperationsNeedAHandle) {
    struct Case {
        const char* operation;
        std::function<int(TestFtp&)> call;
        std::vector<int> chain;
    };
    const std::vector<Case> cases = {
        {"Command", [](TestFtp& f) { return f.Command({"NOOP"}, 0); }, {2513}},
        {"DeleteFileW", [](TestFtp& f) { return f.DeleteFileW(L"x"); }, {2513, 2511}},
        {"RemoveDirectoryW", [](TestFtp& f) { return f.RemoveDirectoryW(L"x"); }, {2513, 2518}},
        {"GetCurrentDirectoryW",
         [](TestFtp& f) {
             wchar_t b[8];
             DWORD n = 8;
             return f.GetCurrentDirectoryW(b, &n);
         },
         {2513, 2515}},
        {"RemoveDirectoryTree",
         [](TestFtp& f) { return f.RemoveDirectoryTree(L"x"); },
         {2513, 2515, 2518}},
        {"SetCurrentDirectoryW", [](TestFtp& f) { return f.SetCurrentDirectoryW(L"x"); }, {2506}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        TestFtp ftp;
        LogCapture log;
        EXPECT_EQ(c.call(ftp), c.chain.back());
        EXPECT_EQ(FailureCodes(log), c.chain);
        EXPECT_EQ(ftp.m_error.whatEx(), CURLE_BAD_FUNCTION_ARGUMENT);
        EXPECT_EQ(log.Traces().front(), std::string(">CRFTP::") + c.operation);
    }
}

TEST_F(PyFtpTest, DeleteFileSendsThePathAsGiven) {
    rktest::WriteFile(local + "/gone.txt", "");
    TestFtp ftp;
    Open(ftp);
    EXPECT_EQ(ftp.DeleteFileW(L"gone.txt"), 0);
    EXPECT_FALSE(rktest::Exists(local + "/gone.txt"));
    LogCapture log;
    EXPECT_EQ(ftp.DeleteFileW(L"a\\b.txt"), 2511);
    EXPECT_EQ(FailureCodes(log), (std::vector<int>{2513, 2511}));
    EXPECT_EQ(ExtendedCodes(log), (std::vector<int>{CURLE_QUOTE_ERROR, CURLE_QUOTE_ERROR}));
    EXPECT_EQ(ftp.m_error.whatEx(), CURLE_QUOTE_ERROR);
    EXPECT_EQ(Only(server.Commands(), {"DELE"}),
              (std::vector<std::string>{"DELE gone.txt", "DELE a\\b.txt"}));
}

TEST_F(PyFtpTest, RemoveDirectoryAcceptsOnlyTheConfirmationText) {
    rktest::MakeDirs(local + "/empty");
    rktest::MakeDirs(local + "/full/x");
    TestFtp ftp;
    Open(ftp);
    EXPECT_EQ(ftp.RemoveDirectoryW(L"empty"), 0);
    EXPECT_FALSE(rktest::Exists(local + "/empty"));

    LogCapture log;
    EXPECT_EQ(ftp.RemoveDirectoryW(L"full"), 2518);
    EXPECT_EQ(FailureCodes(log), (std::vector<int>{2513, 2518}));
    EXPECT_EQ(ftp.m_error.whatEx(), CURLE_QUOTE_ERROR);

    // The request fails, but the replies hold the confirmation: success, with the command's
    // record left in m_error.
    server.ScriptReply("RMD confirmed",
                       "550-250 Directory deleted successfully\r\n550 and then it failed.");
    log.Clear();
    EXPECT_EQ(ftp.RemoveDirectoryW(L"confirmed"), 0);
    EXPECT_EQ(FailureCodes(log), (std::vector<int>{2513}));
    EXPECT_EQ(ftp.Validate(), 2513);

    // Other words do not count.
    server.ScriptReply("RMD worded", "550-250 RMD command successful.\r\n550 and then it failed.");
    log.Clear();
    EXPECT_EQ(ftp.RemoveDirectoryW(L"worded"), 2518);
    EXPECT_EQ(FailureCodes(log), (std::vector<int>{2513, 2518}));
}

TEST_F(PyFtpTest, GetCurrentDirectoryReportsTheHrefWithinTheCapacity) {
    struct Case {
        const wchar_t* href;
        DWORD capacity;
        const wchar_t* text;
        DWORD length;
        const wchar_t* hrefAfter;
    };
    const Case cases[] = {
        {L"", 260, L"/", 2, L"/"},
        {L"/pub/data", 260, L"/pub/data/", 11, L"/pub/data/"},
        {L"/pub/data/", 11, L"/pub/data/", 11, L"/pub/data/"},
        {L"/pub/data/", 10, L"/pub/data", 10, L"/pub/data/"},
        {L"/pub/data/", 5, L"/pub", 5, L"/pub/data/"},
        {L"/pub/data/", 1, L"", 1, L"/pub/data/"},
    };
    TestFtp ftp;
    Open(ftp);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.capacity);
        ftp.SetHREF(c.href);
        wchar_t buffer[300];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        DWORD length = c.capacity;
        ASSERT_EQ(ftp.GetCurrentDirectoryW(buffer, &length), 0);
        EXPECT_EQ(std::wstring(buffer), c.text);
        EXPECT_EQ(length, c.length);
        EXPECT_EQ(buffer[c.capacity], L'#');  // nothing beyond the capacity
        EXPECT_EQ(rktest::Wide(ftp.m_href), c.hrefAfter);
    }
    // Capacity 0: nothing is written, and the call succeeds.
    wchar_t untouched[4] = {L'#', L'#', L'#', L'#'};
    DWORD zero = 0;
    EXPECT_EQ(ftp.GetCurrentDirectoryW(untouched, &zero), 0);
    EXPECT_EQ(untouched[0], L'#');
    EXPECT_EQ(zero, 0u);
    EXPECT_EQ(Only(server.Commands(), {"PWD"}).back(), "PWD ");
}

TEST_F(PyFtpTest, GetCurrentDirectoryFailsWhenPwdIsRefused) {
    TestFtp ftp;
    Open(ftp);
    server.ScriptReply("PWD ", "500 Not today.");
    LogCapture log;
    wchar_t buffer[8];
    DWORD length = 8;
    EXPECT_EQ(ftp.GetCurrentDirectoryW(buffer, &length), 2515);
    EXPECT_EQ(FailureCodes(log), (std::vector<int>{2513, 2515}));
    EXPECT_EQ(ftp.m_error.whatEx(), CURLE_QUOTE_ERROR);
    EXPECT_EQ(length, 8u);
}

}  // namespace
