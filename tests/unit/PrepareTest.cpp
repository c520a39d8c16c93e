// Prepare and PrepareSecurity as libcurl sees them, through the test-side libcurl stand-ins.
#include <gtest/gtest.h>

#include <cstring>

#include "CurlInterposer.h"
#include "LogCapture.h"
#include "TestConnection.h"

using rktest::CurlInterposer;

namespace {

int Progress(void*, double, double, double, double) { return 0; }

const std::vector<int> kPlainOptions = {
    CURLOPT_VERBOSE,    CURLOPT_ERRORBUFFER,    CURLOPT_URL,        CURLOPT_WRITEFUNCTION,
    CURLOPT_WRITEDATA,  CURLOPT_HEADERFUNCTION, CURLOPT_HEADERDATA, CURLOPT_FAILONERROR};

const std::vector<int> kAllOptions = {
    CURLOPT_VERBOSE,    CURLOPT_ERRORBUFFER,    CURLOPT_URL,        CURLOPT_WRITEFUNCTION,
    CURLOPT_WRITEDATA,  CURLOPT_HEADERFUNCTION, CURLOPT_HEADERDATA, CURLOPT_NOPROGRESS,
    CURLOPT_PROGRESSFUNCTION, CURLOPT_FAILONERROR, CURLOPT_USERPWD};

class PrepareTest : public ::testing::Test {
protected:
    void SetUp() override { CurlInterposer::Reset(); }
    void TearDown() override { CurlInterposer::Reset(); }

    static const rktest::SetoptCall* Find(int option) {
        static std::vector<rktest::SetoptCall> calls;
        calls = CurlInterposer::Setopts();
        for (const auto& call : calls) {
            if (call.option == option) return &call;
        }
        return nullptr;
    }
};

}  // namespace

TEST_F(PrepareTest, SetsTheSharedOptionsInOrder) {
    TestConnection c;
    c.SetServer(L"host");
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::SetoptOptions(), kPlainOptions);
    EXPECT_STREQ(c.m_urlBuffer, "ftp://host");
    EXPECT_EQ(Find(CURLOPT_ERRORBUFFER)->pointer, c.m_curlErrorBuffer);
    EXPECT_EQ(Find(CURLOPT_URL)->pointer, c.m_urlBuffer);
    EXPECT_EQ(Find(CURLOPT_WRITEDATA)->pointer, &c.m_response);
    EXPECT_EQ(Find(CURLOPT_HEADERDATA)->pointer, &c.m_header);
    EXPECT_EQ(Find(CURLOPT_FAILONERROR)->number, 1);
    EXPECT_EQ(c.Validate(), 0);

    CurlInterposer::Reset();
    c.SetDebug(1);
    c.SetProgressCallback(&Progress);
    c.SetNeedAuthentication(5);
    c.SetHREF(L"/a/b.txt");
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::SetoptOptions(), kAllOptions);
    EXPECT_STREQ(c.m_urlBuffer, "ftp://host/a/b.txt");
    EXPECT_EQ(Find(CURLOPT_VERBOSE)->number, 1);
    EXPECT_EQ(Find(CURLOPT_NOPROGRESS)->number, 0);
    EXPECT_STREQ(static_cast<const char*>(Find(CURLOPT_USERPWD)->pointer), ":");
    EXPECT_EQ(CurlInterposer::EasyInitCalls(), 1);
}

TEST_F(PrepareTest, ComposesUrlAndCredentialsFromWideSettings) {
    TestConnection c;
    c.SetServer(L"h\u00F4te:2121");
    c.SetHREF(L"/d\u00E9p\u00F4t/");
    c.SetNeedAuthentication(1);
    c.SetUserName(L"j\u00FCrgen");
    c.SetPassword(L"p:w");
    ASSERT_EQ(c.Prepare(L"http://"), 0);
    EXPECT_STREQ(c.m_urlBuffer, "http://h\xC3\xB4te:2121/d\xC3\xA9p\xC3\xB4t/");
    EXPECT_EQ(c.m_userPassword, "j\xC3\xBCrgen:p:w");

    c.SetNeedAuthentication(0);  // off: the old text stays and libcurl is not given it
    CurlInterposer::Reset();
    ASSERT_EQ(c.Prepare(L"http://"), 0);
    EXPECT_EQ(Find(CURLOPT_USERPWD), nullptr);
    EXPECT_EQ(c.m_userPassword, "j\xC3\xBCrgen:p:w");
}

TEST_F(PrepareTest, UrlsLongerThanTheBufferAreNotCut) {
    TestConnection c;
    c.SetServer(L"host");
    const std::wstring href = L"/" + std::wstring(20000, L'x');
    c.SetHREF(href.c_str());
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    EXPECT_EQ(std::strlen(c.m_urlBuffer), 6 + 4 + href.size());
}

TEST_F(PrepareTest, EveryPreparationMakesANewHandleWithTheUrl) {
    TestConnection c;
    c.SetServer(L"host");
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    CURL* first = c.m_curl;
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    EXPECT_NE(c.m_curl, nullptr);
    EXPECT_EQ(CurlInterposer::EasyInitCalls(), 2);
    EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);  // the replaced handle, held by nobody else
    int urls = 0;
    for (const auto& call : CurlInterposer::Setopts()) urls += call.option == CURLOPT_URL;
    EXPECT_EQ(urls, 2);
    (void)first;
}

TEST_F(PrepareTest, ARefusedOptionAtEachPositionGives2506) {
    for (std::size_t position = 0; position < kAllOptions.size(); ++position) {
        CurlInterposer::Reset();
        TestConnection c;
        c.SetServer(L"host");
        c.SetProgressCallback(&Progress);
        c.SetNeedAuthentication(1);
        CurlInterposer::FailSetopt(kAllOptions[position], CURLE_UNKNOWN_OPTION);
        rktest::LogCapture capture;

        EXPECT_EQ(c.Prepare(L"ftp://"), 2506) << "position " << position;
        EXPECT_EQ(c.m_error.what(), 2506);
        EXPECT_EQ(c.m_error.whatEx(), CURLE_UNKNOWN_OPTION);
        EXPECT_EQ(c.m_lastCurlCode, CURLE_UNKNOWN_OPTION);
        EXPECT_NE(c.m_curl, nullptr);  // the half-configured handle stays
        EXPECT_EQ(CurlInterposer::SetoptOptions().size(), position + 1);
        const std::string description = curl_easy_strerror(CURLE_UNKNOWN_OPTION);
        EXPECT_EQ(oru::helper::WideStrToNarStr(c.m_error.GetMessageEx()), description + "\n");
        EXPECT_EQ(capture.Traces(), (std::vector<std::string>{">CConnection::Prepare", "<CConnection::Prepare"}));
        EXPECT_EQ(capture.Failures(),
                  (std::vector<std::string>{"W|Error Code : Error Desc|3|Connection|253",
                                            "M|Error Code : 2506 -- ",
                                            "M|Extended Error 48 : " + description + "\n"}));
    }
}

TEST_F(PrepareTest, NoHandleGives2505WithoutExtendedMessage) {
    TestConnection c;
    c.m_error.setErrorCD(oru::shared::error::RKERR_PERFORM, 6);
    c.m_error.SetMessageEx(std::wstring(L"old"));
    CurlInterposer::FailEasyInit(true);
    rktest::LogCapture capture;
    EXPECT_EQ(c.Prepare(L"ftp://"), 2505);
    EXPECT_EQ(c.m_error.what(), 2505);
    EXPECT_EQ(c.m_error.whatEx(), 0);
    EXPECT_STREQ(c.m_error.GetMessageEx(), L"");  // cleared by the preparation's reset
    EXPECT_EQ(c.m_curl, nullptr);
    EXPECT_TRUE(CurlInterposer::Setopts().empty());
    EXPECT_EQ(capture.Failures(), (std::vector<std::string>{"W|Error Code : Error Desc|3|Connection|253",
                                                            "M|Error Code : 2505 -- "}));
}

TEST_F(PrepareTest, SuccessClearsThePreviousFailure) {
    TestConnection c;
    c.m_error.setErrorCD(oru::shared::error::RKERR_PERFORM, 6);
    c.m_error.SetMessageEx(std::wstring(L"old"));
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    EXPECT_EQ(c.m_error.what(), 0);
    EXPECT_EQ(c.m_error.whatEx(), 0);
    EXPECT_STREQ(c.m_error.GetMessageEx(), L"");
}

TEST_F(PrepareTest, PrepareSecurity) {
    TestConnection c;
    ASSERT_EQ(c.Prepare(L"https://"), 0);
    CurlInterposer::Reset();
    EXPECT_EQ(c.PrepareSecurity(), 0);
    EXPECT_TRUE(CurlInterposer::Setopts().empty());

    c.SetSecure(1);
    EXPECT_EQ(c.PrepareSecurity(), 0);
    EXPECT_EQ(CurlInterposer::SetoptOptions(), (std::vector<int>{CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST}));
    EXPECT_EQ(CurlInterposer::Setopts()[0].number, 0);
    EXPECT_EQ(CurlInterposer::Setopts()[1].number, 0);

    for (int option : {CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST}) {
        CurlInterposer::Reset();
        CurlInterposer::FailSetopt(option, CURLE_NOT_BUILT_IN);
        EXPECT_EQ(c.PrepareSecurity(), 2506);
        EXPECT_EQ(c.m_error.whatEx(), CURLE_NOT_BUILT_IN);
    }
}

TEST_F(PrepareTest, CopiesShareTheHandleAndReleaseItOnce) {
    {
        TestConnection a;
        ASSERT_EQ(a.Prepare(L"ftp://"), 0);
        TestConnection b(a);
        TestConnection c;
        c = b;
        EXPECT_EQ(b.m_curl, a.m_curl);
        EXPECT_EQ(c.m_curl, a.m_curl);
        a.ReleaseHandle();
        b.ReleaseHandle();
        EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 0);
        EXPECT_NE(c.m_curl, nullptr);
    }
    EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);

    {
        // The handle delivers into the object that prepared it for as long as that object
        // lives, also after it moved on to a new handle; then it is pointed nowhere.
        auto* source = new TestConnection;
        ASSERT_EQ(source->Prepare(L"ftp://"), 0);
        TestConnection copy(*source);
        ASSERT_EQ(source->Prepare(L"ftp://"), 0);
        CurlInterposer::Reset();
        delete source;
        EXPECT_EQ(CurlInterposer::SetoptOptions(),
                  (std::vector<int>{CURLOPT_WRITEDATA, CURLOPT_HEADERDATA, CURLOPT_ERRORBUFFER}));
        EXPECT_EQ(CurlInterposer::Setopts()[0].handle, copy.m_curl);
        EXPECT_EQ(CurlInterposer::Setopts()[0].pointer, nullptr);
        EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);  // the source's second handle
        ASSERT_EQ(copy.Prepare(L"ftp://"), 0);
        EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 2);
    }
    EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 3);
}

TEST_F(PrepareTest, ReuseAddsOneSharedCacheAndOffAddsNothing) {
    TestConnection c;
    c.SetReuseConnections(1);
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    std::vector<int> expected = kPlainOptions;
    expected.push_back(CURLOPT_SHARE);
    EXPECT_EQ(CurlInterposer::SetoptOptions(), expected);
    const void* share = Find(CURLOPT_SHARE)->pointer;
    TestConnection copy(c);
    ASSERT_EQ(copy.Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::Setopts().back().pointer, share);

    CurlInterposer::Reset();
    c.SetReuseConnections(0);
    ASSERT_EQ(c.Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::SetoptOptions(), kPlainOptions);
}
