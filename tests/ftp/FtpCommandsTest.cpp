// Raw commands and the operations built on them, against pyftpdlib's log of what it received.

#include "TestFtp.h"

namespace {

TEST_F(PyFtpTest, CommandsGoBeforeOrAfterTheRequestInListOrder) {
    TestFtp ftp = Opened();
    ASSERT_EQ(ftp.Command({"NOOP", "MKD one", "MKD two"}, 0), 0);
    EXPECT_NE(ftp.m_header.find("257"), std::string::npos);  // this call's replies only
    EXPECT_EQ(ftp.m_header.find("226"), std::string::npos);
    // post = 1 after post = 0: the earlier list is not sent again.
    ASSERT_EQ(ftp.Command({"RMD one"}, 1), 0);
    EXPECT_EQ(Only(server.Commands(), {"NOOP", "MKD", "RMD", "CWD", "LIST", "RETR"}),
              (Lines{"NOOP", "MKD one", "MKD two", "RMD one"}));
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

// Each command operation records its command's failure (2513) before its own: without a handle
// (it fails at its first option), and on a server that refuses the command, sent as given.
TEST_F(PyFtpTest, FailedCommands) {
    server.ScriptReply("PWD ", "500 Not today.");
    // name, operation, argument, on a session (or on an object without a handle), outcome
    using T = TestFtp;
    const std::tuple<const char*, PathOp, const wchar_t*, bool, Codes> rows[] = {
        {"Command", &T::Cmd, L"x", false, {2513, 2513}},
        {"RemoveDirectoryW", &T::RemoveDirectoryW, L"x", false, {2518, 2513, 2518}},
        {"RemoveDirectoryTree", &T::RemoveDirectoryTree, L"x", false, {2518, 2513, 2515, 2518}},
        {"SetCurrentDirectoryW", &T::SetCurrentDirectoryW, L"x", false, {2506, 2506}},
        {"DeleteFileW", &T::DeleteFileW, L"a\\b.txt", true, {2511, 2513, 2511}},
        {"GetCurrentDirectoryW", &T::Pwd, L"", true, {2515, 2513, 2515}},
    };
    TestFtp session = Opened();
    for (const auto& [name, op, arg, opened, outcome] : rows) {
        SCOPED_TRACE(testing::Message() << name << (opened ? ", refused" : ", no handle"));
        TestFtp fresh;
        TestFtp& ftp = opened ? session : fresh;
        LogCapture log;
        EXPECT_EQ(Outcome((ftp.*op)(arg), log), outcome);
        const int extended = opened ? CURLE_QUOTE_ERROR : CURLE_BAD_FUNCTION_ARGUMENT;
        EXPECT_EQ(ftp.m_error.whatEx(), extended);
        EXPECT_EQ(Logged(log, "Extended Error ").back(), extended);
        EXPECT_EQ(log.Traces().front(), std::string(">CRFTP::") + name);
    }
    EXPECT_EQ(Only(server.Commands(), {"DELE", "PWD "}), (Lines{"DELE a\\b.txt", "PWD "}));
}

// A refused RMD counts as done if its replies hold the confirmation text (other words do not).
TEST_F(PyFtpTest, RemoveDirectoryAcceptsOnlyTheConfirmationText) {
    rktest::MakeDirs(local + "/empty");
    server.ScriptReply("RMD confirmed", "550-250 Directory deleted successfully\r\n550 failed.");
    server.ScriptReply("RMD worded", "550-250 RMD command successful.\r\n550 failed.");
    TestFtp ftp = Opened();
    EXPECT_EQ(Outcome([&] { return ftp.RemoveDirectoryW(L"empty"); }), Codes{0});
    EXPECT_EQ(Outcome([&] { return ftp.RemoveDirectoryW(L"confirmed"); }), (Codes{0, 2513}));
    EXPECT_EQ(ftp.Validate(), 2513);
    EXPECT_EQ(Outcome([&] { return ftp.RemoveDirectoryW(L"worded"); }), (Codes{2518, 2513, 2518}));
}

TEST_F(PyFtpTest, GetCurrentDirectoryReportsTheHrefWithinTheCapacity) {
    // The HREF before, the capacity, the text and the length written; then "/pub/data/".
    const std::tuple<const wchar_t*, DWORD, const wchar_t*, DWORD> cases[] = {
        {L"/pub/data", 260, L"/pub/data/", 11},
        {L"/pub/data/", 11, L"/pub/data/", 11},
        {L"/pub/data/", 10, L"/pub/data", 10},
        {L"/pub/data/", 0, L"", 0},  // nothing written, and success
    };
    TestFtp ftp = Opened();
    for (const auto& [href, capacity, text, written] : cases) {
        SCOPED_TRACE(testing::Message() << capacity);
        ftp.SetHREF(href);
        wchar_t buffer[300];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        DWORD length = capacity;
        ASSERT_EQ(ftp.GetCurrentDirectoryW(buffer, &length), 0);
        EXPECT_EQ(capacity > 0 ? std::wstring(buffer) : L"", text);
        EXPECT_EQ(length, written);
        EXPECT_EQ(buffer[capacity], L'#');  // nothing beyond the capacity
        EXPECT_EQ(ftp.Href(), L"/pub/data/");
    }
}

}  // namespace
