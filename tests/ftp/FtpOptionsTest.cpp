// Options as libcurl sees them, and the paths where libcurl refuses one (through the test-side
// libcurl stand-ins, which no server can produce).
#include <curl/curl.h>
#include <gtest/gtest.h>

#include "TestFtp.h"

using rktest::CurlInterposer;
using rktest::LogCapture;

namespace {

const std::vector<int> kTlsOptions = {CURLOPT_USE_SSL, CURLOPT_SSLVERSION, CURLOPT_FTPSSLAUTH,
                                      CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST};

std::vector<int> After(const std::vector<int>& options, int last) {
    const auto at = std::find(options.begin(), options.end(), last);
    return at == options.end() ? std::vector<int>{} : std::vector<int>(at + 1, options.end());
}

TEST(FtpPrepareTest, TlsOptionsOnlyWhenSecure) {
    CurlInterposer::Reset();
    TestFtp ftp;
    ftp.SetServer(L"host");
    ASSERT_EQ(ftp.Prepare(L""), 0);
    EXPECT_TRUE(After(CurlInterposer::SetoptOptions(), CURLOPT_FAILONERROR).empty());

    CurlInterposer::Reset();
    ftp.SetSecure(1);
    ASSERT_EQ(ftp.Prepare(L""), 0);
    EXPECT_EQ(After(CurlInterposer::SetoptOptions(), CURLOPT_FAILONERROR), kTlsOptions);
    const auto calls = CurlInterposer::Setopts();
    EXPECT_EQ(calls[calls.size() - 5].number, CURLUSESSL_ALL);
    for (std::size_t i = calls.size() - 4; i < calls.size(); ++i) EXPECT_EQ(calls[i].number, 0);

    for (std::size_t i = 0; i < kTlsOptions.size(); ++i) {
        SCOPED_TRACE(kTlsOptions[i]);
        CurlInterposer::Reset();
        CurlInterposer::FailSetopt(kTlsOptions[i], CURLE_UNKNOWN_OPTION);
        EXPECT_EQ(Outcome([&] { return ftp.Prepare(L""); }), (Codes{2506, 2506}));
        EXPECT_EQ(ftp.m_error.whatEx(), CURLE_UNKNOWN_OPTION);
        EXPECT_EQ(After(CurlInterposer::SetoptOptions(), CURLOPT_FAILONERROR),
                  std::vector<int>(kTlsOptions.begin(), kTlsOptions.begin() + i + 1));
    }
    CurlInterposer::Reset();
}

TEST(FtpPrepareTest, GetFileReportsAFailedPreparationAsItsOwn) {
    CurlInterposer::Reset();
    TestFtp ftp;
    ftp.SetServer(L"host");
    CurlInterposer::FailEasyInit(true);
    ftp.m_lastCurlCode = 0;
    EXPECT_EQ(Outcome([&] { return ftp.GetFile(); }), (Codes{2517, 2505, 2517}));
    EXPECT_EQ(ftp.m_error.whatEx(), ftp.m_lastCurlCode);
    EXPECT_EQ(ftp.CreateDirectoryTree(L"x"), 2516);
    CurlInterposer::Reset();
}

// Each refused option of an operation, with the outcome it ends in.
TEST_F(PyFtpTest, RefusedOptions) {
    const struct {
        int option;
        int occurrence;  // counted from the start of the operation
        PathOp op;
        const wchar_t* arg;
        Codes outcome;
    } cases[] = {
        {CURLOPT_QUOTE, 1, &TestFtp::Cmd, L"NOOP", {2513, 2513}},
        {CURLOPT_POSTQUOTE, 1, &TestFtp::PostCmd, L"NOOP", {2513, 2513}},
        {CURLOPT_NOBODY, 1, &TestFtp::Cmd, L"NOOP", {2506, 2506}},
        {CURLOPT_NOBODY, 2, &TestFtp::Cmd, L"NOOP", {2506, 2506}},
        {CURLOPT_NOBODY, 2, &TestFtp::DeleteFileW, L"x", {2511, 2506, 2511}},
        {CURLOPT_NOBODY, 1, &TestFtp::SetCurrentDirectoryW, L"", {2506, 2506}},
        {CURLOPT_NOBODY, 2, &TestFtp::SetCurrentDirectoryW, L"", {2506, 2506}},
        {CURLOPT_URL, 1, &TestFtp::SetCurrentDirectoryW, L"", {2514, 2506, 2517, 2514}},
        {CURLOPT_NOBODY, 1, &TestFtp::CreateDirectoryW, L"n", {2506, 2506}},
        {CURLOPT_FTP_CREATE_MISSING_DIRS, 1, &TestFtp::CreateDirectoryW, L"n", {2506, 2506}},
        {CURLOPT_NOBODY, 2, &TestFtp::CreateDirectoryW, L"n", {2506, 2506}},
        {CURLOPT_FTP_CREATE_MISSING_DIRS, 2, &TestFtp::CreateDirectoryW, L"n", {2506, 2506}},
        {CURLOPT_FTP_CREATE_MISSING_DIRS,
         1,
         &TestFtp::CreateDirectoryTree,
         L"n",
         {2516, 2506, 2516}},
        {CURLOPT_UPLOAD, 1, &TestFtp::PutFile, L"/etc/hostname", {2506, 2506}},
        {CURLOPT_INFILESIZE_LARGE, 1, &TestFtp::PutFile, L"/etc/hostname", {2506, 2506}},
    };
    rktest::WriteFile(local + "/x", "");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.option << " #" << c.occurrence << " " << c.arg);
        TestFtp ftp;
        Open(ftp);
        CurlInterposer::Reset();
        CurlInterposer::FailSetopt(c.option, CURLE_BAD_FUNCTION_ARGUMENT, c.occurrence);
        EXPECT_EQ(Outcome([&] { return (ftp.*c.op)(c.arg); }), c.outcome);
        EXPECT_EQ(ftp.m_error.whatEx(), CURLE_BAD_FUNCTION_ARGUMENT);
    }
}

// The command list never stays on the handle after the call, not even after a failure (and
// the clean-up does not mask the failure's result).
TEST_F(PyFtpTest, PerCallSourcesAreTakenOffTheHandle) {
    TestFtp ftp;
    Open(ftp);
    for (int post : {0, 1}) {
        CurlInterposer::Reset();
        CurlInterposer::FailPerform(CURLE_QUOTE_ERROR);
        EXPECT_EQ(ftp.Command({"NOOP"}, post), 2513);
        EXPECT_EQ(ftp.m_lastCurlCode, CURLE_QUOTE_ERROR);
        const auto calls = CurlInterposer::Setopts();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().option, post != 0 ? CURLOPT_POSTQUOTE : CURLOPT_QUOTE);
        EXPECT_EQ(calls.back().pointer, nullptr);
    }
}

}  // namespace
