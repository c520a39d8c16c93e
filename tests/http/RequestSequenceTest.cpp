// The request sequence as libcurl sees it (through the test-side libcurl stand-ins): options in
// order, which refusals end a request and which are ignored, what a refusal leaves in the object.
#include <fstream>
#include <functional>
#include <map>

#include "CurlInterposer.h"
#include "HttpTestSupport.h"
#include "LogCapture.h"

using oru::shared::error::RKERR_SET_OPTION;
using rktest::ClientFor;
using rktest::CurlInterposer;
using rktest::TempFolder;

namespace {

size_t Sink(char*, size_t size, size_t count, void*) {
    return size * count;
}

const std::vector<int> kShared = {
    CURLOPT_VERBOSE,   CURLOPT_ERRORBUFFER,    CURLOPT_URL,        CURLOPT_WRITEFUNCTION,
    CURLOPT_WRITEDATA, CURLOPT_HEADERFUNCTION, CURLOPT_HEADERDATA, CURLOPT_FAILONERROR};
const std::vector<int> kTls = {CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST};
const std::vector<int> kPage = {CURLOPT_ACCEPT_ENCODING, CURLOPT_USERAGENT, CURLOPT_HTTPHEADER};
const std::vector<int> kWriter = {CURLOPT_WRITEFUNCTION, CURLOPT_WRITEDATA};

std::vector<int> Join(std::initializer_list<std::vector<int>> lists) {
    std::vector<int> all;
    for (const auto& list : lists) all.insert(all.end(), list.begin(), list.end());
    return all;
}

// One operation of the family, run on a client whose HREF is /page.
struct Operation {
    const char* name;
    const char* traceName;
    bool consumesFields;
    bool formRefusalFails;
    std::function<int(TestHttp&, const TempFolder&)> run;
};

const unsigned char kData[] = {'d'};
std::uint64_t g_size = 0;
std::uint64_t g_received = 0;
unsigned char g_block[64];

const std::vector<Operation> kOperations = {
    {"GetPage", "CRHTTP::GetPage", false, false,
     [](TestHttp& c, const TempFolder&) { return c.GetPage(); }},
    {"GetFile", "CRHTTP::GetFile", false, false,
     [](TestHttp& c, const TempFolder& f) { return c.GetFile(f.WidePath("file").c_str()); }},
    {"GetBulkFile", "CRHTTP::GetBulkFile", false, false,
     [](TestHttp& c, const TempFolder& f) {
         return c.GetBulkFile(f.WidePath("bulk").c_str(), g_size);
     }},
    {"GetBuffer", "CRHTTP::GetBuffer", true, false,
     [](TestHttp& c, const TempFolder&) {
         return c.GetBuffer(sizeof g_block, g_block, g_received);
     }},
    {"PostBuffer", "CRHTTP::PostBuffer", true, true,
     [](TestHttp& c, const TempFolder&) { return c.PostBuffer(kData, 1); }},
    {"PostFile", "CRHTTP::PostPage", true, true,
     [](TestHttp& c, const TempFolder& f) {
         rktest::WriteFile(f.Path("upload"), "u");
         return c.PostFile(f.WidePath("upload").c_str(), nullptr);
     }},
};

class RequestSequenceTest : public rktest::HttpServerTest {
protected:
    static std::vector<int> OwnOptions() {
        const std::vector<int> all = CurlInterposer::SetoptOptions();
        if (all.size() < kShared.size()) return {};
        return std::vector<int>(all.begin() + kShared.size(), all.end());
    }
    static const rktest::SetoptCall* Find(int option) {
        static std::vector<rktest::SetoptCall> calls;
        calls = CurlInterposer::Setopts();
        for (const auto& call : calls) {
            if (call.option == option) return &call;
        }
        return nullptr;
    }
    TempFolder folder;
};

TEST_F(RequestSequenceTest, EachOperationSetsItsOptionsInOrderAndReleasesItsHandleOnce) {
    const std::map<std::string, std::vector<int>> expected = {
        {"GetPage", Join({{CURLOPT_HTTPPOST}, kPage})},
        {"GetFile", Join({{CURLOPT_HTTPPOST}, kWriter})},
        {"GetBulkFile", Join({{CURLOPT_HTTPPOST}, kWriter})},
        {"GetBuffer", Join({{CURLOPT_HTTPPOST}, kWriter})},
        {"PostBuffer", {CURLOPT_HTTPPOST}},
        {"PostFile", Join({{CURLOPT_HTTPPOST}, kPage})},
    };
    for (const bool tls : {false, true}) {
        for (const Operation& op : kOperations) {
            SCOPED_TRACE(std::string(op.name) + (tls ? " over TLS" : ""));
            CurlInterposer::Reset();
            TestHttp client = ClientFor(L"/page", tls);
            rktest::LogCapture log;
            ASSERT_EQ(op.run(client, folder), 0);
            EXPECT_EQ(OwnOptions(),
                      tls ? Join({kTls, expected.at(op.name)}) : expected.at(op.name));
            EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);
            EXPECT_EQ(client.m_curl, nullptr);
            const std::vector<std::string> traces = log.Traces();
            ASSERT_FALSE(traces.empty());
            EXPECT_EQ(traces.front(), std::string(">") + op.traceName);
            EXPECT_EQ(traces.back(), std::string("<") + op.traceName);
        }
    }
}

TEST_F(RequestSequenceTest, SoapOptionsAndTheirValues) {
    TestHttp client = ClientFor(L"/page");
    rktest::LogCapture log;
    ASSERT_EQ(client.GetSOAPPage(), 0);
    EXPECT_EQ(OwnOptions(),
              Join({kTls, {CURLOPT_USERAGENT, CURLOPT_HTTPHEADER, CURLOPT_FOLLOWLOCATION}}));
    EXPECT_EQ(Find(CURLOPT_SSL_VERIFYPEER)->number, 0);
    EXPECT_EQ(Find(CURLOPT_SSL_VERIFYHOST)->number, 0);
    EXPECT_EQ(Find(CURLOPT_FOLLOWLOCATION)->number, 1);
    EXPECT_EQ(log.Traces().front(), ">CRHTTP::GetSOAPPage");

    CurlInterposer::Reset();
    client.SetSOAPPostData("<body/>");
    ASSERT_EQ(client.GetSOAPPage(), 0);
    EXPECT_EQ(OwnOptions(), Join({kTls,
                                  {CURLOPT_POST, CURLOPT_POSTFIELDS, CURLOPT_USERAGENT,
                                   CURLOPT_HTTPHEADER, CURLOPT_FOLLOWLOCATION}}));
    EXPECT_EQ(Find(CURLOPT_POSTFIELDS)->pointer, client.m_soapPostData.c_str());
    EXPECT_EQ(Find(CURLOPT_POST)->number, 1);
}

TEST_F(RequestSequenceTest, ACallersWriteFunctionGetsNullUserData) {
    TestHttp client = ClientFor(L"/page");
    ASSERT_EQ(client.GetFile(nullptr), 0);
    EXPECT_EQ(OwnOptions(), std::vector<int>{CURLOPT_HTTPPOST});

    CurlInterposer::Reset();
    client.SetWriteCallbackFunc(&Sink);
    ASSERT_EQ(client.GetFile(nullptr), 0);
    EXPECT_EQ(OwnOptions(), Join({{CURLOPT_HTTPPOST}, kWriter}));
    EXPECT_EQ(CurlInterposer::Setopts().back().pointer, nullptr);
}

TEST_F(RequestSequenceTest, AFailedPrepareIsReturnedAndChangesNothing) {
    for (const Operation& op : kOperations) {
        SCOPED_TRACE(op.name);
        CurlInterposer::Reset();
        CurlInterposer::FailSetopt(CURLOPT_URL, CURLE_OUT_OF_MEMORY);
        TestHttp client = ClientFor(L"/page");
        client.AddMultiPartField(L"k", L"v");
        client.SetWriteCallbackFunc(&Sink);
        EXPECT_EQ(op.run(client, folder), RKERR_SET_OPTION);
        EXPECT_EQ(client.m_error.whatEx(), CURLE_OUT_OF_MEMORY);
        EXPECT_EQ(CurlInterposer::SetoptOptions().back(), CURLOPT_URL);
        EXPECT_EQ(CurlInterposer::PerformCalls(), 0);
        EXPECT_EQ(client.m_multiPartFields.size(), 1u);
        EXPECT_EQ(client.m_writeCallback, &Sink);
    }
    EXPECT_TRUE(rktest::ReadFile(folder.Path("file")).empty());
    EXPECT_EQ(rktest::PlainServer().Requests().size(), 0u);
}

TEST_F(RequestSequenceTest, ARefusedTlsOptionEndsEveryRequest) {
    for (const int refused : {CURLOPT_SSL_VERIFYPEER, CURLOPT_SSL_VERIFYHOST}) {
        for (const Operation& op : kOperations) {
            SCOPED_TRACE(std::string(op.name) + " " + std::to_string(refused));
            CurlInterposer::Reset();
            CurlInterposer::FailSetopt(refused, CURLE_UNKNOWN_OPTION);
            TestHttp client = ClientFor(L"/page", true);
            client.AddMultiPartField(L"k", L"v");
            EXPECT_EQ(op.run(client, folder), RKERR_SET_OPTION);
            EXPECT_EQ(client.Validate(), RKERR_SET_OPTION);
            EXPECT_EQ(client.m_error.whatEx(), CURLE_UNKNOWN_OPTION);
            EXPECT_EQ(CurlInterposer::SetoptOptions().back(), refused);
            EXPECT_EQ(CurlInterposer::PerformCalls(), 0);
            EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);
            EXPECT_EQ(client.m_multiPartFields.size(), 1u);
        }
        CurlInterposer::Reset();
        CurlInterposer::FailSetopt(refused, CURLE_UNKNOWN_OPTION);
        TestHttp soap = ClientFor(L"/page");  // SOAP switches the checks off even without TLS
        EXPECT_EQ(soap.GetSOAPPage(), RKERR_SET_OPTION);
    }
    EXPECT_FALSE(std::ifstream(folder.Path("file")).good());  // no file was opened
}

TEST_F(RequestSequenceTest, ARefusedFormEndsOnlyTheUploads) {
    for (const Operation& op : kOperations) {
        SCOPED_TRACE(op.name);
        CurlInterposer::Reset();
        CurlInterposer::FailSetopt(CURLOPT_HTTPPOST, CURLE_BAD_FUNCTION_ARGUMENT);
        TestHttp client = ClientFor(L"/page");
        client.AddMultiPartField(L"k", L"v");
        const int result = op.run(client, folder);
        if (op.formRefusalFails) {
            EXPECT_EQ(result, RKERR_SET_OPTION);
            EXPECT_EQ(client.m_error.whatEx(), CURLE_BAD_FUNCTION_ARGUMENT);
            EXPECT_EQ(CurlInterposer::PerformCalls(), 0);
            EXPECT_EQ(client.m_multiPartFields.size(), 1u);
        } else {
            EXPECT_EQ(result, 0);  // the request goes out without its form
            EXPECT_EQ(CurlInterposer::PerformCalls(), 1);
            EXPECT_EQ(client.m_multiPartFields.size(), op.consumesFields ? 0u : 1u);
        }
    }
}

TEST_F(RequestSequenceTest, ARefusedWriterEndsTheDownloadAndClearsItsOwnFunction) {
    for (const int refused : kWriter) {
        for (const Operation& op : kOperations) {
            const std::string name = op.name;
            if (name != "GetFile" && name != "GetBulkFile" && name != "GetBuffer") continue;
            SCOPED_TRACE(std::string(op.name) + " " + std::to_string(refused));
            CurlInterposer::Reset();
            CurlInterposer::FailSetopt(refused, CURLE_UNKNOWN_OPTION, 2);  // after Prepare's own
            TestHttp client = ClientFor(L"/page");
            client.AddMultiPartField(L"k", L"v");
            EXPECT_EQ(op.run(client, folder), RKERR_SET_OPTION);
            EXPECT_EQ(client.m_error.whatEx(), CURLE_UNKNOWN_OPTION);
            EXPECT_EQ(client.m_writeCallback, nullptr);
            EXPECT_EQ(client.m_multiPartFields.size(), 1u);
            EXPECT_EQ(CurlInterposer::PerformCalls(), 0);
            EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);
        }
        // A caller's function is not the operation's own: it stays after a refusal.
        CurlInterposer::Reset();
        CurlInterposer::FailSetopt(refused, CURLE_UNKNOWN_OPTION, 2);
        TestHttp client = ClientFor(L"/page");
        client.SetWriteCallbackFunc(&Sink);
        EXPECT_EQ(client.GetFile(nullptr), RKERR_SET_OPTION);
        EXPECT_EQ(client.m_writeCallback, &Sink);
    }
}

TEST_F(RequestSequenceTest, RefusedOptionsWhoseResultIsIgnored) {
    const int ignoredInPage[] = {CURLOPT_ACCEPT_ENCODING, CURLOPT_USERAGENT, CURLOPT_HTTPHEADER};
    for (const int refused : ignoredInPage) {
        CurlInterposer::Reset();
        CurlInterposer::FailSetopt(refused, CURLE_UNKNOWN_OPTION);
        TestHttp client = ClientFor(L"/page");
        EXPECT_EQ(client.GetPage(), 0) << refused;
        EXPECT_EQ(client.m_lastCurlCode, 0);
    }
    const int ignoredInSoap[] = {CURLOPT_POST, CURLOPT_USERAGENT, CURLOPT_HTTPHEADER,
                                 CURLOPT_FOLLOWLOCATION};
    for (const int refused : ignoredInSoap) {
        CurlInterposer::Reset();
        CurlInterposer::FailSetopt(refused, CURLE_UNKNOWN_OPTION);
        TestHttp client = ClientFor(L"/page");
        client.SetSOAPPostData("x");
        EXPECT_EQ(client.GetSOAPPage(), 0) << refused;
    }
    CurlInterposer::Reset();
    CurlInterposer::FailSetopt(CURLOPT_POSTFIELDS, CURLE_OUT_OF_MEMORY);
    TestHttp soap = ClientFor(L"/page");
    soap.SetSOAPPostData("x");
    EXPECT_EQ(soap.GetSOAPPage(), RKERR_SET_OPTION);
    EXPECT_EQ(soap.m_error.whatEx(), CURLE_OUT_OF_MEMORY);
    EXPECT_EQ(CurlInterposer::PerformCalls(), 0);
}

}  // namespace

namespace {

TEST_F(RequestSequenceTest, AnUnobtainableReceiveBlockThrowsAfterReleasingTheHandle) {
    TestHttp client = ClientFor(L"/page");
    client.AddMultiPartField(L"k", L"v");
    std::uint64_t received = 5;
    rktest::LogCapture log;
    EXPECT_THROW(client.GetBuffer(std::uint64_t(1) << 62, g_block, received), std::bad_alloc);
    EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);
    EXPECT_EQ(CurlInterposer::PerformCalls(), 0);
    EXPECT_EQ(received, 5u);
    EXPECT_EQ(client.m_multiPartFields.size(), 1u);
    EXPECT_EQ(log.Traces().back(), "<CRHTTP::GetBuffer");
}

}  // namespace
