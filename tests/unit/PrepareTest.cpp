// Prepare and PrepareSecurity as libcurl sees them, through the test-side libcurl stand-ins.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "CurlInterposer.h"
#include "LogCapture.h"
#include "TestConnection.h"

using rktest::CurlInterposer;

namespace {

int Progress(void*, double, double, double, double) {
    return 0;
}

const std::vector<int> kPlainOptions = {
    CURLOPT_VERBOSE,   CURLOPT_ERRORBUFFER,    CURLOPT_URL,        CURLOPT_WRITEFUNCTION,
    CURLOPT_WRITEDATA, CURLOPT_HEADERFUNCTION, CURLOPT_HEADERDATA, CURLOPT_FAILONERROR};
// With a progress callback and authentication.
const std::vector<int> kAllOptions = {
    CURLOPT_VERBOSE,          CURLOPT_ERRORBUFFER,    CURLOPT_URL,        CURLOPT_WRITEFUNCTION,
    CURLOPT_WRITEDATA,        CURLOPT_HEADERFUNCTION, CURLOPT_HEADERDATA, CURLOPT_NOPROGRESS,
    CURLOPT_PROGRESSFUNCTION, CURLOPT_FAILONERROR,    CURLOPT_USERPWD};

// The first recorded call that set the option; option 0 when there is none.
rktest::SetoptCall Find(int option) {
    const auto calls = CurlInterposer::SetoptsOf(option);
    return calls.empty() ? rktest::SetoptCall{} : calls[0];
}

class PrepareTest : public ::testing::Test {
    void SetUp() override { CurlInterposer::Reset(); }
};

}  // namespace

TEST_F(PrepareTest, SetsTheOptionsInOrderWithTheUrlAndCredentials) {
    TestConnection c;
    c.SetServer(L"h\u00F4te:2121");
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::SetoptOptions(), kPlainOptions);
    EXPECT_STREQ(c.m_urlBuffer, "ftp://h\xC3\xB4te:2121");
    EXPECT_EQ(Find(CURLOPT_ERRORBUFFER).pointer, c.m_curlErrorBuffer);
    EXPECT_EQ(Find(CURLOPT_URL).pointer, c.m_urlBuffer);
    EXPECT_EQ(Find(CURLOPT_WRITEDATA).pointer, &c.m_response);
    EXPECT_EQ(Find(CURLOPT_HEADERDATA).pointer, &c.m_header);
    EXPECT_EQ(Find(CURLOPT_FAILONERROR).number, 1);

    CurlInterposer::Reset();
    c.SetDebug(1);
    c.SetProgressCallback(&Progress);
    c.SetNeedAuthentication(5);
    c.SetUserName(L"j\u00FCrgen");
    c.SetPassword(L"p:w");
    c.SetHREF(L"/d\u00E9p\u00F4t/a%20b/s?q=x+y&r=%41#top");  // the base takes URL text as given
    ASSERT_EQ(c.Prepare(L"http://"), 0);
    EXPECT_EQ(CurlInterposer::SetoptOptions(), kAllOptions);
    EXPECT_STREQ(c.m_urlBuffer,
                 "http://h\xC3\xB4te:2121/d\xC3\xA9p\xC3\xB4t/a%20b/s?q=x+y&r=%41#top");
    EXPECT_EQ(Find(CURLOPT_VERBOSE).number, 1);
    EXPECT_EQ(Find(CURLOPT_NOPROGRESS).number, 0);
    EXPECT_STREQ(static_cast<const char*>(Find(CURLOPT_USERPWD).pointer), "j\xC3\xBCrgen:p:w");

    CurlInterposer::Reset();
    c.SetNeedAuthentication(0);  // off: the old text stays and libcurl is not given it
    c.SetProgressCallback(nullptr);
    const std::wstring href = L"/" + std::wstring(20000, L'x');  // longer than the URL buffer
    c.SetHREF(href.c_str());
    ASSERT_EQ(c.Prepare(L"http://"), 0);
    EXPECT_EQ(CurlInterposer::SetoptOptions(), kPlainOptions);
    EXPECT_EQ(c.m_userPassword, "j\xC3\xBCrgen:p:w");
    EXPECT_EQ(std::strlen(c.m_urlBuffer), std::strlen("http://h\xC3\xB4te:2121") + href.size());

    CurlInterposer::Reset();  // authentication with empty texts still sends the separator
    TestConnection empty;
    empty.SetNeedAuthentication(1);
    ASSERT_EQ(empty.Prepare(L"ftp://"), 0);
    EXPECT_STREQ(static_cast<const char*>(Find(CURLOPT_USERPWD).pointer), ":");
}

TEST_F(PrepareTest, ARefusedOptionAtEachPositionGives2506) {
    const std::string description = curl_easy_strerror(CURLE_UNKNOWN_OPTION);
    for (std::size_t position = 0; position < kAllOptions.size(); ++position) {
        SCOPED_TRACE(position);
        CurlInterposer::Reset();
        TestConnection c;
        c.SetProgressCallback(&Progress);
        c.SetNeedAuthentication(1);
        CurlInterposer::FailSetopt(kAllOptions[position], CURLE_UNKNOWN_OPTION);
        rktest::LogCapture capture;
        EXPECT_EQ(c.Prepare(L"ftp://"), 2506);
        EXPECT_EQ(c.m_error.whatEx(), CURLE_UNKNOWN_OPTION);
        EXPECT_EQ(c.m_lastCurlCode, CURLE_UNKNOWN_OPTION);
        EXPECT_NE(c.m_curl, nullptr);  // the half-configured handle stays
        EXPECT_EQ(CurlInterposer::SetoptOptions().size(), position + 1);
        EXPECT_EQ(oru::helper::WideStrToNarStr(c.m_error.GetMessageEx()), description + "\n");
        EXPECT_EQ(capture.Failures(),
                  (std::vector<std::string>{"W|Error Code : Error Desc|3|Connection|253",
                                            "M|Error Code : 2506 -- ",
                                            "M|Extended Error 48 : " + description + "\n"}));
    }
}

TEST_F(PrepareTest, NoHandleGives2505AndSuccessClearsTheFailure) {
    TestConnection c;
    c.m_error.setErrorCD(oru::shared::error::RKERR_PERFORM, 6);
    c.m_error.SetMessageEx(std::wstring(L"old"));
    CurlInterposer::FailEasyInit(true);
    rktest::LogCapture capture;
    EXPECT_EQ(c.Prepare(L"ftp://"), 2505);
    EXPECT_EQ(capture.Failures(),
              (std::vector<std::string>{"W|Error Code : Error Desc|3|Connection|253",
                                        "M|Error Code : 2505 -- "}));
    EXPECT_EQ(c.m_error.whatEx(), 0);
    EXPECT_STREQ(c.m_error.GetMessageEx(), L"");  // cleared by the preparation's reset
    EXPECT_EQ(c.m_curl, nullptr);

    CurlInterposer::FailEasyInit(false);
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    EXPECT_EQ(c.m_error.what(), 0);
}

// Not secure: nothing. Secure: the checks, off unless SetVerifyPeer asked; the CA file only
// when one is named.
TEST_F(PrepareTest, PrepareSecurity) {
    const struct {
        const char* what;
        int secure, verify;
        const wchar_t* caFile;
        std::vector<int> options;
        long peer, host;
    } cases[] = {
        {"not secure", 0, 1, L"/ca.pem", {}, 0, 0},
        {"secure", 1, 0, nullptr, {CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST}, 0, 0},
        {"verified", 1, 1, L"", {CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST}, 1, 2},
        {"CA file",
         1,
         0,
         L"/c\u00E4.pem",
         {CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST, CURLOPT_CAINFO},
         0,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestConnection source;
        source.SetSecure(c.secure);
        source.SetVerifyPeer(c.verify);
        source.SetCACertificateFile(c.caFile);
        TestConnection copy(source);  // copied with the object
        ASSERT_EQ(copy.Prepare(L"https://"), 0);
        CurlInterposer::Reset();
        EXPECT_EQ(copy.PrepareSecurity(), 0);
        EXPECT_EQ(CurlInterposer::SetoptOptions(), c.options);
        EXPECT_EQ(Find(CURLOPT_SSL_VERIFYPEER).number, c.peer);
        EXPECT_EQ(Find(CURLOPT_SSL_VERIFYHOST).number, c.host);
        if (c.options.size() == 3) {
            EXPECT_STREQ(static_cast<const char*>(Find(CURLOPT_CAINFO).pointer), "/c\xC3\xA4.pem");
        }
    }
    TestConnection c;
    c.SetSecure(1);
    c.SetTlsVersions(12, 13);  // the range last, after the checks
    ASSERT_EQ(c.Prepare(L"https://"), 0);
    CurlInterposer::Reset();
    EXPECT_EQ(c.PrepareSecurity(), 0);
    EXPECT_EQ(
        CurlInterposer::SetoptOptions(),
        (std::vector<int>{CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST, CURLOPT_SSLVERSION}));
    EXPECT_EQ(Find(CURLOPT_SSLVERSION).number,
              CURL_SSLVERSION_TLSv1_2 | CURL_SSLVERSION_MAX_TLSv1_3);
    CurlInterposer::Reset();
    CurlInterposer::FailSetopt(CURLOPT_SSL_VERIFYHOST, CURLE_NOT_BUILT_IN);
    EXPECT_EQ(c.PrepareSecurity(), 2506);
    EXPECT_EQ(c.m_error.whatEx(), CURLE_NOT_BUILT_IN);
}

// Copies share the handle, which stays valid until its last holder lets it go. It delivers
// into the object that prepared it for as long as that object lives, also after it moved on to
// a new handle; then it is pointed nowhere.
TEST_F(PrepareTest, CopiesShareTheHandleAndReleaseItOnce) {
    auto* source = new TestConnection;
    ASSERT_EQ(source->Prepare(L"ftp://"), 0);
    TestConnection copy(*source), assigned;
    assigned = copy;
    EXPECT_EQ(assigned.m_curl, source->m_curl);
    assigned.ReleaseHandle();
    ASSERT_EQ(source->Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 0);  // the first handle: still held by copy
    CurlInterposer::Reset();
    delete source;
    EXPECT_EQ(CurlInterposer::SetoptOptions(),
              (std::vector<int>{CURLOPT_WRITEDATA, CURLOPT_HEADERDATA, CURLOPT_ERRORBUFFER}));
    for (const auto& call : CurlInterposer::Setopts()) {
        EXPECT_TRUE(call.handle == copy.m_curl && call.pointer == nullptr);
    }
    EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);  // the source's second handle
    ASSERT_EQ(copy.Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 2);  // the first handle, now held by nobody
}

TEST_F(PrepareTest, ReuseAddsOneSharedCacheAndOffAddsNothing) {
    TestConnection c;
    c.SetReuseConnections(1);
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::SetoptOptions().size(), kPlainOptions.size() + 1);
    EXPECT_EQ(CurlInterposer::SetoptOptions().back(), CURLOPT_SHARE);  // after the shared ones
    TestConnection copy(c);
    ASSERT_EQ(copy.Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::Setopts().back().pointer, Find(CURLOPT_SHARE).pointer);  // one cache
    CurlInterposer::Reset();
    c.SetReuseConnections(0);
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::SetoptOptions(), kPlainOptions);
}

int Debug(void*, int, const char*, std::size_t) {
    return 0;
}

// Each opt-in setter of the connection adds its options after the shared ones, for every
// protocol, and only while it is set; value: the number given with the first one.
TEST_F(PrepareTest, OptInSettersAddTheirOptionsOnlyWhenSet) {
    struct Row {
        const char* name;
        std::function<void(TestConnection&)> set;
        std::vector<int> added;
        long value = 0;
    };
    int data = 0;
    const std::vector<Row> rows = {
        {"netrc",
         [](TestConnection& c) { c.SetNetrcFile(L"/n"); },
         {CURLOPT_NETRC, CURLOPT_NETRC_FILE},
         CURL_NETRC_OPTIONAL},
        {"netrc empty", [](TestConnection& c) { c.SetNetrcFile(L""); }, {}},
        {"netrc null", [](TestConnection& c) { c.SetNetrcFile(nullptr); }, {}},
        {"no proxy", [](TestConnection& c) { c.SetNoProxy(L""); }, {CURLOPT_NOPROXY}},
        {"no proxy null", [](TestConnection& c) { c.SetNoProxy(nullptr); }, {}},
        {"debug",
         [&](TestConnection& c) { c.SetDebugCallback(&Debug, &data); },
         {CURLOPT_DEBUGFUNCTION, CURLOPT_DEBUGDATA, CURLOPT_VERBOSE}},
        {"debug null", [&](TestConnection& c) { c.SetDebugCallback(nullptr, &data); }, {}},
        {"connect timeout",
         [](TestConnection& c) { c.SetConnectTimeout(700); },
         {CURLOPT_CONNECTTIMEOUT_MS},
         700},
        {"timeout", [](TestConnection& c) { c.SetTimeout(900); }, {CURLOPT_TIMEOUT_MS}, 900},
        {"low speed",
         [](TestConnection& c) { c.SetLowSpeedLimit(10, 3); },
         {CURLOPT_LOW_SPEED_LIMIT, CURLOPT_LOW_SPEED_TIME},
         10},
        {"zero limits",
         [](TestConnection& c) {
             c.SetConnectTimeout(0), c.SetTimeout(0), c.SetLowSpeedLimit(0, 0);
         },
         {}},
        {"no proxy at all", [](TestConnection& c) { c.SetProxy(L""); }, {CURLOPT_PROXY}},
        {"proxy null", [](TestConnection& c) { c.SetProxy(nullptr); }, {}},
        {"CA file, plain", [](TestConnection& c) { c.SetCACertificateFile(L"/ca.pem"); }, {}},
        {"TLS versions, plain", [](TestConnection& c) { c.SetTlsVersions(0, 12); }, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestConnection c;
        row.set(c);
        CurlInterposer::Reset();
        const TestConnection copy(c);  // copied with the object
        TestConnection prepared(copy);
        ASSERT_EQ(prepared.Prepare(L"ftp://"), 0);
        std::vector<int> expected = kPlainOptions;
        expected.insert(expected.end(), row.added.begin(), row.added.end());
        EXPECT_EQ(CurlInterposer::SetoptOptions(), expected);
        if (!row.added.empty() && row.added[0] < CURLOPTTYPE_OBJECTPOINT) {
            EXPECT_EQ(Find(row.added[0]).number, row.value);
        }
    }
    TestConnection c;
    c.SetNetrcFile(L"/home/n\u00E9trc");
    c.SetNoProxy(L"localhost,.example");
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    EXPECT_STREQ(static_cast<const char*>(Find(CURLOPT_NETRC_FILE).pointer), "/home/n\xC3\xA9trc");
    EXPECT_STREQ(static_cast<const char*>(Find(CURLOPT_NOPROXY).pointer), "localhost,.example");
    EXPECT_EQ(c.GetLastResponseCode(), 0);
}
