// Prepare and PrepareSecurity as libcurl sees them, through the test-side libcurl stand-ins.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "CurlInterposer.h"
#include "LogCapture.h"
#include "TestConnection.h"

using rktest::CurlInterposer;

namespace {

const CConnection::ProgressCallback Progress = [](void*, double, double, double, double) {
    return 0;
};
const CConnection::DebugCallback Debug = [](void*, int, const char*, std::size_t) { return 0; };

// The options set since the last reset, in call order, as "NAME=value": numbers and texts with
// their value, objects and functions by name alone.
std::string Recorded() {
    std::string text;
    for (const rktest::SetoptCall& call : CurlInterposer::Setopts()) {
        const curl_easyoption* o = curl_easy_option_by_id(static_cast<CURLoption>(call.option));
        text += (text.empty() ? "" : " ") + std::string(o->name);
        if (o->type == CURLOT_LONG || o->type == CURLOT_VALUES)
            text += "=" + std::to_string(call.number);
        if (o->type == CURLOT_STRING)
            text += "=" + std::string(static_cast<const char*>(call.pointer));
    }
    return text;
}

// The options of a preparation with no setter called.
const std::string kShared =
    "VERBOSE=0 ERRORBUFFER URL=ftp://h WRITEFUNCTION WRITEDATA HEADERFUNCTION HEADERDATA "
    "FAILONERROR=1";

using Conn = TestConnection;

class PrepareTest : public ::testing::Test {
    void SetUp() override { CurlInterposer::Reset(); }
};

}  // namespace

TEST_F(PrepareTest, SharedOptionsInOrderWithTheUrlAndCredentials) {
    TestConnection c;
    c.SetServer(L"h\u00F4te:2121");
    c.SetDebug(1);
    c.SetProgressCallback(Progress);
    c.SetNeedAuthentication(5);
    c.SetUserName(L"j\u00FCrgen");
    c.SetPassword(L"p:w");
    c.SetHREF(L"/d\u00E9p\u00F4t/a%20b/s?q=x+y&r=%41#top");  // the base takes URL text as given
    ASSERT_EQ(c.Prepare(L"http://"), 0);
    EXPECT_EQ(Recorded(),
              "VERBOSE=1 ERRORBUFFER "
              "URL=http://h\xC3\xB4te:2121/d\xC3\xA9p\xC3\xB4t/a%20b/s?q=x+y&r=%41#top "
              "WRITEFUNCTION WRITEDATA HEADERFUNCTION HEADERDATA NOPROGRESS=0 PROGRESSFUNCTION "
              "FAILONERROR=1 USERPWD=j\xC3\xBCrgen:p:w");
    EXPECT_EQ(CurlInterposer::SetoptsOf(CURLOPT_ERRORBUFFER)[0].pointer, c.m_curlErrorBuffer);
    EXPECT_EQ(CurlInterposer::SetoptsOf(CURLOPT_WRITEDATA)[0].pointer, &c.m_response);
    EXPECT_EQ(CurlInterposer::SetoptsOf(CURLOPT_HEADERDATA)[0].pointer, &c.m_header);

    CurlInterposer::Reset();
    c.SetNeedAuthentication(0);  // off: the old text stays and libcurl is not given it
    c.SetProgressCallback(nullptr);
    c.SetDebug(0);
    const std::wstring href = L"/" + std::wstring(20000, L'x');  // longer than the URL buffer
    c.SetHREF(href.c_str());
    c.SetServer(nullptr);  // as empty
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::SetoptOptions().size(), 8u);
    EXPECT_EQ(c.m_userPassword, "j\xC3\xBCrgen:p:w");
    EXPECT_EQ(std::strlen(c.m_urlBuffer), std::strlen("ftp://") + href.size());
}

// No handle gives 2505, a refused option at any position 2506; a success clears the failure.
TEST_F(PrepareTest, FailuresAndTheirRecord) {
    TestConnection all;
    all.m_error.setErrorCD(oru::shared::error::RKERR_PERFORM, 6);
    all.m_error.SetMessageEx(std::wstring(L"old"));
    CurlInterposer::FailEasyInit(true);
    EXPECT_EQ(all.Prepare(L"ftp://"), 2505);
    EXPECT_STREQ(all.m_error.GetMessageEx(), L"");  // cleared by the preparation's reset
    EXPECT_EQ(all.m_curl, nullptr);

    CurlInterposer::Reset();
    all.SetProgressCallback(Progress);
    all.SetNeedAuthentication(1);
    ASSERT_EQ(all.Prepare(L"ftp://"), 0);
    EXPECT_EQ(all.m_error.what(), 0);
    const std::vector<int> options = CurlInterposer::SetoptOptions();
    for (std::size_t position = 0; position < options.size(); ++position) {
        SCOPED_TRACE(position);
        CurlInterposer::Reset();
        TestConnection c(all);
        CurlInterposer::FailSetopt(options[position], CURLE_UNKNOWN_OPTION);
        rktest::LogCapture capture;
        EXPECT_EQ(c.Prepare(L"ftp://"), 2506);
        EXPECT_NE(c.m_curl, nullptr);  // the half-configured handle stays
        EXPECT_EQ(CurlInterposer::SetoptOptions().size(), position + 1);
        EXPECT_EQ(capture.Failures().back(), std::string("M|Extended Error 48 : ") +
                                                 curl_easy_strerror(CURLE_UNKNOWN_OPTION) + "\n");
    }
}

// Copies share the handle until its last holder lets it go. It delivers into the object that
// prepared it while that object lives, also after it moved on; then it is pointed nowhere.
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
    EXPECT_EQ(Recorded(), "WRITEDATA HEADERDATA ERRORBUFFER");
    for (const auto& call : CurlInterposer::Setopts()) {
        EXPECT_TRUE(call.handle == copy.m_curl && call.pointer == nullptr);
    }
    EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);  // the source's second handle
    ASSERT_EQ(copy.Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 2);  // the first handle, now held by nobody
}

// Each setter adds its options after the shared ones, and only while it is set; copies of the
// object carry it. The TLS options come from PrepareSecurity, for secure requests only.
TEST_F(PrepareTest, SettersAddTheirOptionsOnlyWhenSet) {
    const struct {
        const char* name;
        std::function<void(Conn&)> set;
        std::string added;
    } rows[] = {
        {"netrc", [](Conn& c) { c.SetNetrcFile(L"/n\u00E9"); }, " NETRC=1 NETRC_FILE=/n\xC3\xA9"},
        {"no proxy", [](Conn& c) { c.SetNoProxy(L"localhost,.ex"); }, " NOPROXY=localhost,.ex"},
        {"no proxy at all", [](Conn& c) { c.SetProxy(L""); }, " PROXY="},
        {"debug", [](Conn& c) { c.SetDebugCallback(Debug, &c); },
         " DEBUGFUNCTION DEBUGDATA VERBOSE=1"},
        {"connect timeout", [](Conn& c) { c.SetConnectTimeout(700); }, " CONNECTTIMEOUT_MS=700"},
        {"timeout", [](Conn& c) { c.SetTimeout(900); }, " TIMEOUT_MS=900"},
        {"low speed", [](Conn& c) { c.SetLowSpeedLimit(10, 3); },
         " LOW_SPEED_LIMIT=10 LOW_SPEED_TIME=3"},
        {"reuse", [](Conn& c) { c.SetReuseConnections(1); }, " SHARE"},
        {"empty credentials", [](Conn& c) { c.SetNeedAuthentication(1); }, " USERPWD=:"},
        {"secure", [](Conn& c) { c.SetSecure(1); }, " SSL_VERIFYPEER=0 SSL_VERIFYHOST=0"},
        {"verified, empty CA file",
         [](Conn& c) { c.SetSecure(1), c.SetVerifyPeer(1), c.SetCACertificateFile(L""); },
         " SSL_VERIFYPEER=1 SSL_VERIFYHOST=2"},
        {"CA file", [](Conn& c) { c.SetSecure(1), c.SetCACertificateFile(L"/c\u00E4.pem"); },
         " SSL_VERIFYPEER=0 SSL_VERIFYHOST=0 CAINFO=/c\xC3\xA4.pem"},
        {"TLS versions", [](Conn& c) { c.SetSecure(1), c.SetTlsVersions(12, 13); },
         " SSL_VERIFYPEER=0 SSL_VERIFYHOST=0 SSLVERSION=" +
             std::to_string(CURL_SSLVERSION_TLSv1_2 | CURL_SSLVERSION_MAX_TLSv1_3)},
        {"unset, empty, zero or only for TLS",
         [](Conn& c) {
             c.SetNetrcFile(L""), c.SetNoProxy(nullptr), c.SetProxy(nullptr);
             c.SetDebugCallback(nullptr, &c), c.SetReuseConnections(0);
             c.SetConnectTimeout(0), c.SetTimeout(0), c.SetLowSpeedLimit(0, 0);
             c.SetCACertificateFile(L"/ca.pem"), c.SetTlsVersions(0, 12), c.SetVerifyPeer(1);
         },
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestConnection source;
        source.SetServer(L"h");
        row.set(source);
        CurlInterposer::Reset();
        TestConnection prepared(source);
        ASSERT_EQ(prepared.Prepare(L"ftp://"), 0);
        ASSERT_EQ(prepared.PrepareSecurity(), 0);
        EXPECT_EQ(Recorded(), kShared + row.added);
    }
    TestConnection reused;  // one cache for the copies
    reused.SetReuseConnections(1);
    ASSERT_EQ(reused.Prepare(L"ftp://"), 0);
    TestConnection copy(reused);
    ASSERT_EQ(copy.Prepare(L"ftp://"), 0);
    const auto shares = CurlInterposer::SetoptsOf(CURLOPT_SHARE);
    EXPECT_EQ(shares.front().pointer, shares.back().pointer);
}
