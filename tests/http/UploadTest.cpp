// PostBuffer and PostFile: the parts on the wire, the consumed fields, the failure codes and the
// extra records of a failed buffer upload.
#include "HttpTestSupport.h"
#include "LogCapture.h"

using oru::shared::error::RKERR_ABORTED;
using oru::shared::error::RKERR_PERFORM;
using rktest::ClientFor;
using rktest::Recorded;
using rktest::RecordedPart;
using rktest::RecordedRequest;
using rktest::TempFolder;

namespace {

int StopAtOnce(void*, double, double, double, double) {
    return 1;
}

std::string Describe(const RecordedPart& part) {
    return part.name + "|" + part.fileName + "|" + part.content;
}

std::vector<std::string> Parts(const RecordedRequest& request) {
    std::vector<std::string> parts;
    for (const RecordedPart& part : request.parts) parts.push_back(Describe(part));
    return parts;
}

class UploadTest : public rktest::HttpServerTest {
protected:
    TempFolder folder;
};

TEST_F(UploadTest, PostBufferSendsTheBufferFirstAndNoHeadersOfItsOwn) {
    const unsigned char data[] = {'a', 0, 'b', 0xFF, 'c'};
    TestHttp client = ClientFor(L"/upload");
    client.AddMultiPartField(L"z", L"2");
    client.AddMultiPartField(L"m", L"1");
    ASSERT_EQ(client.PostBuffer(data, 5), 0);
    EXPECT_TRUE(client.m_multiPartFields.empty());
    EXPECT_EQ(client.m_response, "ok");

    const RecordedRequest request = Recorded().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(Parts(request),
              (std::vector<std::string>{std::string("file_buffer|file_buffer|a\0b\xFF"
                                                    "c",
                                                    24 + 5),
                                        "submit||send", "m||1", "z||2"}));
    EXPECT_EQ(request.HeaderCount("User-Agent"), 0u);
    EXPECT_EQ(request.HeaderCount("Connection"), 0u);
    EXPECT_EQ(request.HeaderCount("Accept-Encoding"), 0u);
}

TEST_F(UploadTest, PostFileNamesThePartAndSendsThePageHeaders) {
    rktest::WriteFile(folder.Path("report.txt"), "file contents");
    const std::wstring path = folder.WidePath("report.txt");
    struct Case {
        const wchar_t* fieldName;
        std::string expectedName;
    } const cases[] = {{nullptr, "FileField"},
                       {L"", "FileField"},
                       {L"pi\u00E8ce",
                        "pi\xC3\xA8"
                        "ce"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expectedName);
        rktest::PlainServer().ClearRequests();
        TestHttp client = ClientFor(L"/upload");
        client.AddMultiPartField(L"k", L"v");
        ASSERT_EQ(client.PostFile(path.c_str(), c.fieldName), 0);
        EXPECT_TRUE(client.m_multiPartFields.empty());
        const RecordedRequest request = Recorded().at(0);
        EXPECT_EQ(Parts(request),
                  (std::vector<std::string>{c.expectedName + "|report.txt|file contents",
                                            "submit||send", "k||v"}));
        EXPECT_EQ(request.Header("User-Agent"),
                  "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.2; .NET CLR 1.1.4322)");
        EXPECT_EQ(request.Header("Connection"), "Keep-Alive");
        EXPECT_EQ(request.Header("Accept-Encoding"), "gzip,deflate,compress");
    }
}

TEST_F(UploadTest, FailedTransfersStillConsumeTheFields) {
    const unsigned char data[] = {'x'};
    TestHttp client = ClientFor(L"/status/500");
    client.AddMultiPartField(L"k", L"v");
    EXPECT_EQ(client.PostBuffer(data, 1), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_HTTP_RETURNED_ERROR);
    EXPECT_TRUE(client.m_multiPartFields.empty());

    client.AddMultiPartField(L"k", L"v");
    EXPECT_EQ(client.PostFile(folder.WidePath("absent.txt").c_str(), nullptr), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_READ_ERROR);
    EXPECT_TRUE(client.m_multiPartFields.empty());
}

TEST_F(UploadTest, AStopByTheProgressCallbackHasACodeOnlyForBuffers) {
    rktest::WriteFile(folder.Path("f.txt"), "f");
    const unsigned char data[] = {'x'};
    TestHttp client = ClientFor(L"/upload");
    client.SetProgressCallback(&StopAtOnce);

    rktest::LogCapture log;
    EXPECT_EQ(client.PostBuffer(data, 1), RKERR_ABORTED);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_ABORTED_BY_CALLBACK);
    const std::vector<std::string> records = log.Failures();
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[0], "W|Curl|2|HTTP|86");
    EXPECT_EQ(records[1], "M|Curl Error: 42");
    EXPECT_EQ(records[2], "W|Error Code : Error Desc|3|Connection|253");
    EXPECT_EQ(records[3], "M|Error Code : 2520 -- ");

    log.Clear();
    EXPECT_EQ(client.PostFile(folder.WidePath("f.txt").c_str(), nullptr), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_ABORTED_BY_CALLBACK);
    EXPECT_EQ(log.Failures().at(0), "W|Error Code : Error Desc|3|Connection|253");
}

TEST_F(UploadTest, TlsUploads) {
    rktest::WriteFile(folder.Path("f.txt"), "secret");
    const unsigned char data[] = {'s'};
    TestHttp client = ClientFor(L"/upload", true);
    ASSERT_EQ(client.PostBuffer(data, 1), 0);
    ASSERT_EQ(client.PostFile(folder.WidePath("f.txt").c_str(), L"doc"), 0);
    const auto requests = Recorded(true);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(Describe(requests[0].parts.at(0)), "file_buffer|file_buffer|s");
    EXPECT_EQ(Describe(requests[1].parts.at(0)), "doc|f.txt|secret");
}

}  // namespace
