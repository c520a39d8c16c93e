// The session: its options as libcurl sees them, transfers, Close, and how failures are recorded.

#include "TestFtp.h"

namespace {

// Each connection setter adds only its own options after the described ones, copied with the
// object; with none, exactly the described options and "ftp://" whatever the prefix asked for.
TEST_F(PyFtpTest, EachConnectionSetterAddsOnlyItsOwnOptions) {
    const std::string url = "ftp://host";
    const std::string tls =
        " USE_SSL=3 SSLVERSION=0 FTPSSLAUTH=0 SSL_VERIFYPEER=0 SSL_VERIFYHOST=0";
    // what, setters, the URL and the options after CURLOPT_FAILONERROR, as " NAME=value"
    using Set = std::function<void(TestFtp&)>;
    const std::tuple<const char*, Set, std::string> rows[] = {
        // clang-format off
        {"nothing", [](TestFtp&) {}, url},
        {"secure", [](TestFtp& f) { f.SetSecure(1); }, url + tls},
        {"TLS versions, secure", [](TestFtp& f) { f.SetSecure(1), f.SetTlsVersions(0, 12); },
         url + tls + " SSLVERSION=" + std::to_string(CURL_SSLVERSION_MAX_TLSv1_2)},
        {"TLS versions back", [](TestFtp& f) { f.SetTlsVersions(12, 0), f.SetTlsVersions(0, 0); },
         url},
        {"implicit TLS", [](TestFtp& f) { f.SetImplicitTls(1); }, "ftps://host" + tls},
        {"active port", [](TestFtp& f) { f.SetActivePort(L"192.0.2.1:5000-5010"); },
         url + " FTPPORT=192.0.2.1:5000-5010"},
        {"passive again", [](TestFtp& f) { f.SetActivePort(L"-"), f.SetActivePort(nullptr); }, url},
        {"EPSV off", [](TestFtp& f) { f.SetUseEpsv(0); }, url + " FTP_USE_EPSV=0"},
        {"EPRT on", [](TestFtp& f) { f.SetUseEprt(1); }, url + " FTP_USE_EPRT=1"},
        {"all modes", [](TestFtp& f) { f.SetUseEprt(0), f.SetUseEpsv(1), f.SetActivePort(L"-"); },
         url + " FTPPORT=- FTP_USE_EPSV=1 FTP_USE_EPRT=0"},
        // clang-format on
    };
    for (const auto& [what, set, expected] : rows) {
        SCOPED_TRACE(what);
        TestFtp source;
        source.SetServer(L"host");
        set(source);
        TestFtp ftp(source);  // copied with the object
        CurlInterposer::Reset();
        ASSERT_EQ(ftp.Prepare(L"http://"), 0);
        std::string seen = ftp.m_urlBuffer;  // then what follows the eight shared options
        const auto calls = CurlInterposer::Setopts();
        for (std::size_t i = 8; i < calls.size(); ++i) {
            const auto* o = curl_easy_option_by_id(static_cast<CURLoption>(calls[i].option));
            seen += " " + std::string(o->name) + "=" +
                    (o->type == CURLOT_STRING ? static_cast<const char*>(calls[i].pointer)
                                              : std::to_string(calls[i].number));
        }
        EXPECT_EQ(seen, expected);
    }
    // A refused TLS option ends the preparation there, and so does a range libcurl refuses.
    const int refused[] = {CURLOPT_USE_SSL,        CURLOPT_SSLVERSION,     CURLOPT_FTPSSLAUTH,
                           CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST, 0};
    for (std::size_t i = 0; i < std::size(refused); ++i) {
        SCOPED_TRACE(refused[i]);
        TestFtp ftp;
        ftp.SetSecure(1);
        if (refused[i] == 0) ftp.SetTlsVersions(14, 12);  // no such version
        CurlInterposer::Reset();
        CurlInterposer::FailSetopt(refused[i], CURLE_UNKNOWN_OPTION);
        EXPECT_EQ(Outcome([&] { return ftp.Prepare(L""); }), (Codes{2506, 2506}));
        EXPECT_EQ(ftp.m_error.whatEx(),
                  refused[i] != 0 ? CURLE_UNKNOWN_OPTION : CURLE_BAD_FUNCTION_ARGUMENT);
        EXPECT_EQ(CurlInterposer::Setopts().size(), 9 + i);
    }
}

// Each refused option (its n-th setting in the operation) and the outcome it ends in.
TEST_F(PyFtpTest, RefusedOptions) {
    const int kMakeDirs = CURLOPT_FTP_CREATE_MISSING_DIRS;
    const std::tuple<int, int, PathOp, const wchar_t*, Codes> cases[] = {
        {CURLOPT_QUOTE, 1, &TestFtp::Cmd, L"NOOP", {2513, 2513}},
        {CURLOPT_NOBODY, 1, &TestFtp::Cmd, L"NOOP", {2506, 2506}},
        {CURLOPT_NOBODY, 1, &TestFtp::SetCurrentDirectoryW, L"", {2506, 2506}},
        {CURLOPT_URL, 1, &TestFtp::SetCurrentDirectoryW, L"", {2514, 2506, 2517, 2514}},
        {CURLOPT_NOBODY, 1, &TestFtp::CreateDirectoryW, L"n", {2506, 2506}},
        {kMakeDirs, 1, &TestFtp::CreateDirectoryW, L"n", {2506, 2506}},
        {CURLOPT_NOBODY, 2, &TestFtp::CreateDirectoryW, L"n", {2506, 2506}},
        {kMakeDirs, 2, &TestFtp::CreateDirectoryW, L"n", {2506, 2506}},
        {CURLOPT_UPLOAD, 1, &TestFtp::PutFile, L"/etc/hostname", {2506, 2506}},
        {CURLOPT_INFILESIZE_LARGE, 1, &TestFtp::PutFile, L"/etc/hostname", {2506, 2506}},
    };
    for (const auto& [option, occurrence, op, arg, outcome] : cases) {
        SCOPED_TRACE(testing::Message() << option << " #" << occurrence << " " << arg);
        TestFtp ftp = Opened();
        CurlInterposer::Reset();
        CurlInterposer::FailSetopt(option, CURLE_BAD_FUNCTION_ARGUMENT, occurrence);
        EXPECT_EQ(Outcome(ftp, op, arg), outcome);
        EXPECT_EQ(ftp.m_error.whatEx(), CURLE_BAD_FUNCTION_ARGUMENT);
    }
}

// The command list is taken off the handle after the call, also after a failure.
TEST_F(PyFtpTest, PerCallSourcesAreTakenOffTheHandle) {
    TestFtp ftp = Opened();
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

// A logged-in session: GetFile empties the body, PostFile appends to it, Connect starts it
// again; after an upload a command sends just the command; Close may come twice, untraced.
TEST_F(PyFtpTest, LoggedInSession) {
    rktest::WriteFile(local + "/hello.txt", "hello\n");
    TestFtp ftp(&server);
    ftp.SetNeedAuthentication(1);
    ftp.SetUserName(L"rk");
    ftp.SetPassword(L"secret");
    ASSERT_EQ(ftp.Connect() + ftp.Validate(), 0);
    ftp.SetHREF(rktest::Wide(remote + "/hello.txt").c_str());
    LogCapture log;
    ASSERT_EQ(ftp.GetFile(), 0);
    EXPECT_EQ(log.Traces(), (Lines{">CRFTP::GetFile", ">CRFTP::Connect", ">CRFTP::Prepare",
                                   ">CConnection::Prepare", "<CConnection::Prepare",
                                   "<CRFTP::Prepare", "<CRFTP::Connect", "<CRFTP::GetFile"}));
    EXPECT_EQ(ftp.Response(), "hello\n");
    ASSERT_EQ(ftp.PostFile(), 0);
    EXPECT_EQ(ftp.Response(), "hello\nhello\n");
    ASSERT_EQ(ftp.Connect(), 0);
    EXPECT_EQ(ftp.Response(), "hello\n");
    ftp.SetHREF(rktest::Wide(remote + "/up").c_str());
    log.Clear();
    ASSERT_EQ(ftp.PutFile(rktest::Wide(local + "/hello.txt").c_str()), 0);
    EXPECT_EQ(log.Traces().front(), ">CRFTP::PutFile");
    server.ClearCommands();
    ASSERT_EQ(ftp.Command({"NOOP"}, 0), 0);
    EXPECT_EQ(Only(server.Commands(), {"NOOP", "STOR", "APPE"}), Lines{"NOOP"});
    log.Clear();
    EXPECT_EQ(ftp.Close() + ftp.Close() + ftp.Validate(), 0);
    EXPECT_EQ(ftp.m_curl, nullptr);
    EXPECT_TRUE(log.Traces().empty());
}

// A failure is recorded by every operation it passes through, with the replies, the reply code
// and libcurl's verbose output to read.
TEST_F(PyFtpTest, FailuresAreRecordedAlongTheChain) {
    TestFtp ftp(&server, remote + "/missing.txt");
    std::string sent;
    ftp.SetDebugCallback(&CollectDebug, &sent);
    LogCapture log;
    EXPECT_EQ(Outcome(ftp.GetFile(), log), (Codes{2517, 2509, 2517}));
    EXPECT_EQ(ftp.GetError().whatEx(), CURLE_REMOTE_FILE_NOT_FOUND);
    EXPECT_EQ(ftp.GetLastResponseCode(), 550);
    EXPECT_NE(ftp.GetHeaderText().find("550 "), std::string::npos);
    EXPECT_NE(sent.find("SIZE missing.txt"), std::string::npos);
    EXPECT_EQ(Logged(log, "Extended Error "),
              (Codes{CURLE_REMOTE_FILE_NOT_FOUND, CURLE_REMOTE_FILE_NOT_FOUND}));
    EXPECT_EQ(ftp.Validate(), 2517);
    EXPECT_EQ(std::wstring(ftp.m_error.GetMessageW()), L"");
    EXPECT_NE(ftp.m_curl, nullptr);  // the handle stays after a failure
    EXPECT_EQ(Outcome([&] { return ftp.PostFile(); }), (Codes{2509, 2509}));
    EXPECT_EQ(Outcome([&] { return ftp.Connect(); }), (Codes{2509, 2509}));

    // An upload without a local file: 2507, and no libcurl code.
    const LogCapture upload;  // the captures inside Outcome ended the first one
    EXPECT_EQ(Outcome(ftp.PutFile(L"/nonexistent/dir/file.bin"), upload), (Codes{2507, 2507}));
    EXPECT_EQ(ftp.m_error.whatEx(), 0);
    EXPECT_TRUE(Logged(upload, "Extended Error ").empty());

    // A failed preparation is recorded as the operation's own.
    TestFtp fresh(&server);
    CurlInterposer::FailEasyInit(true);
    EXPECT_EQ(Outcome([&] { return fresh.GetFile(); }), (Codes{2517, 2505, 2517}));
    EXPECT_EQ(fresh.m_error.whatEx(), 0);
    EXPECT_EQ(fresh.CreateDirectoryTree(L"x"), 2516);
}

}  // namespace
