// Options as libcurl sees them, and the paths where libcurl refuses one (through the test-side
// libcurl stand-ins, which no server can produce).
#include <curl/curl.h>
#include <gtest/gtest.h>

#include "FtpFixture.h"

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
        LogCapture log;
        EXPECT_EQ(ftp.Prepare(L""), 2506);
        EXPECT_EQ(ftp.m_error.whatEx(), CURLE_UNKNOWN_OPTION);
        EXPECT_EQ(FailureCodes(log), (std::vector<int>{2506}));
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
    LogCapture log;
    ftp.m_lastCurlCode = 0;
    EXPECT_EQ(ftp.GetFile(), 2517);
    EXPECT_EQ(FailureCodes(log), (std::vector<int>{2505, 2517}));
    EXPECT_EQ(ftp.m_error.whatEx(), ftp.m_lastCurlCode);
    EXPECT_EQ(ftp.CreateDirectoryTree(L"x"), 2516);
    CurlInterposer::Reset();
}

// Each refused option of an operation, with the code it ends in and the chain in the log.
TEST_F(PyFtpTest, RefusedOptions) {
    struct Case {
        const char* what;
        int option;
        int occurrence;  // counted from the start of the operation
        std::function<int(TestFtp&)> call;
        std::vector<int> chain;
    };
    const std::vector<Case> cases = {
        {"quote list", CURLOPT_QUOTE, 1, [](TestFtp& f) { return f.Command({"NOOP"}, 0); }, {2513}},
        {"postquote list",
         CURLOPT_POSTQUOTE,
         1,
         [](TestFtp& f) { return f.Command({"NOOP"}, 1); },
         {2513}},
        {"nobody on", CURLOPT_NOBODY, 1, [](TestFtp& f) { return f.Command({"NOOP"}, 0); }, {2506}},
        {"nobody off",
         CURLOPT_NOBODY,
         2,
         [](TestFtp& f) { return f.Command({"NOOP"}, 0); },
         {2506}},
        {"delete", CURLOPT_NOBODY, 2, [](TestFtp& f) { return f.DeleteFileW(L"x"); }, {2506, 2511}},
        {"cd nobody on",
         CURLOPT_NOBODY,
         1,
         [](TestFtp& f) { return f.SetCurrentDirectoryW(L""); },
         {2506}},
        {"cd nobody off",
         CURLOPT_NOBODY,
         2,
         [](TestFtp& f) { return f.SetCurrentDirectoryW(L""); },
         {2506}},
        {"cd preparation",
         CURLOPT_URL,
         1,
         [](TestFtp& f) { return f.SetCurrentDirectoryW(L""); },
         {2506, 2517, 2514}},
        {"mkdir nobody",
         CURLOPT_NOBODY,
         1,
         [](TestFtp& f) { return f.CreateDirectoryW(L"n"); },
         {2506}},
        {"mkdir create",
         CURLOPT_FTP_CREATE_MISSING_DIRS,
         1,
         [](TestFtp& f) { return f.CreateDirectoryW(L"n"); },
         {2506}},
        {"mkdir nobody off",
         CURLOPT_NOBODY,
         2,
         [](TestFtp& f) { return f.CreateDirectoryW(L"n"); },
         {2506}},
        {"mkdir create off",
         CURLOPT_FTP_CREATE_MISSING_DIRS,
         2,
         [](TestFtp& f) { return f.CreateDirectoryW(L"n"); },
         {2506}},
        {"mkdir tree",
         CURLOPT_FTP_CREATE_MISSING_DIRS,
         1,
         [](TestFtp& f) { return f.CreateDirectoryTree(L"n"); },
         {2506, 2516}},
        {"upload",
         CURLOPT_UPLOAD,
         1,
         [](TestFtp& f) { return f.PutFile(L"/etc/hostname"); },
         {2506}},
        {"upload size",
         CURLOPT_INFILESIZE_LARGE,
         1,
         [](TestFtp& f) { return f.PutFile(L"/etc/hostname"); },
         {2506}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rktest::WriteFile(local + "/x", "");
        TestFtp ftp;
        Open(ftp);
        CurlInterposer::Reset();
        CurlInterposer::FailSetopt(c.option, CURLE_BAD_FUNCTION_ARGUMENT, c.occurrence);
        LogCapture log;
        EXPECT_EQ(c.call(ftp), c.chain.back());
        EXPECT_EQ(FailureCodes(log), c.chain);
        EXPECT_EQ(ftp.m_error.whatEx(), CURLE_BAD_FUNCTION_ARGUMENT);
    }
}

// The command list and the upload source never stay on the handle after the call.
TEST_F(PyFtpTest, PerCallSourcesAreTakenOffTheHandle) {
    TestFtp ftp;
    Open(ftp);
    for (int post : {0, 1}) {
        CurlInterposer::Reset();
        CurlInterposer::FailPerform(CURLE_QUOTE_ERROR);  // also on the failure path
        EXPECT_EQ(ftp.Command({"NOOP"}, post), 2513);
        EXPECT_EQ(ftp.m_lastCurlCode, CURLE_QUOTE_ERROR);  // the clean-up does not mask it
        const auto calls = CurlInterposer::Setopts();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().option, post != 0 ? CURLOPT_POSTQUOTE : CURLOPT_QUOTE);
        EXPECT_EQ(calls.back().pointer, nullptr);
    }
    ftp.SetHREF(rktest::Wide(remote + "/up.txt").c_str());
    CurlInterposer::Reset();
    ASSERT_EQ(ftp.PutFile(L"/etc/hostname"), 0);
    const auto options = CurlInterposer::SetoptOptions();
    EXPECT_EQ(After(options, CURLOPT_FAILONERROR),
              (std::vector<int>{CURLOPT_UPLOAD, CURLOPT_READFUNCTION, CURLOPT_READDATA,
                                CURLOPT_INFILESIZE_LARGE, CURLOPT_UPLOAD, CURLOPT_READFUNCTION,
                                CURLOPT_READDATA, CURLOPT_INFILESIZE_LARGE}));
    EXPECT_EQ(CurlInterposer::Setopts().back().number, -1);
    CurlInterposer::Reset();
}

// With reuse off, a request sets exactly the shared options and its own.
TEST_F(PyFtpTest, ReuseAddsOnlyTheShareOption) {
    TestFtp plain(&server, rktest::Wide(remote + "/").c_str());
    ASSERT_EQ(plain.GetFile(), 0);
    const auto without = CurlInterposer::SetoptOptions();
    EXPECT_EQ(std::count(without.begin(), without.end(), CURLOPT_SHARE), 0);
    CurlInterposer::Reset();
    TestFtp reusing(&server, rktest::Wide(remote + "/").c_str());
    reusing.SetReuseConnections(1);
    ASSERT_EQ(reusing.GetFile(), 0);
    std::vector<int> with = CurlInterposer::SetoptOptions();
    with.erase(std::remove(with.begin(), with.end(), CURLOPT_SHARE), with.end());
    EXPECT_EQ(with, without);
}

}  // namespace
