// The pages and uploads: what crosses the wire, what is left in the object, the failure codes
// and the extra records of a failed buffer upload.
#include "HttpTestSupport.h"
#include "LogCapture.h"

namespace rktest {
namespace {

int StopAtOnce(void*, double, double, double, double) {
    return 1;
}

class PageAndUploadTest : public HttpServerTest {};

TEST_F(PageAndUploadTest, PostsSubmitThenTheFieldsInKeyOrderKeepsThemAndDecodesGzip) {
    TestHttp client = ClientFor(L"/gzip");
    client.AddMultiPartField(L"z", L"1");
    client.AddMultiPartField(L"a", L"first");
    client.AddMultiPartField(L"abc", L"3");
    client.AddMultiPartField(L"B", L"4");
    client.AddMultiPartField(L"ab", L"\u00E9t\u00E9");
    client.AddMultiPartField(L"a", L"2");  // replaced, keeps its place
    ASSERT_EQ(client.GetPage(), 0);
    ASSERT_EQ(client.GetPage(), 0);  // the fields are still there, the text grows
    const RecordedRequest second = Recorded().at(1);
    EXPECT_EQ(second.parts, (std::vector<std::string>{"submit=send", "B=4", "a=2",
                                                      "ab=\xC3\xA9t\xC3\xA9", "abc=3", "z=1"}));
    EXPECT_EQ(second.Header("accept-encoding"), "gzip,deflate,compress");
    EXPECT_EQ(client.m_response, "decoded by the clientdecoded by the client");
}

TEST_F(PageAndUploadTest, SoapIsAGetWithoutBodyAndAPostWithOne) {
    const struct {
        const char* body;
        const char* method;
    } cases[] = {{"", "GET"}, {"<Envelope>\xC3\xA9</Envelope>", "POST"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        Server().ClearRequests();
        TestHttp client = ClientFor(L"/soap");
        client.AddMultiPartField(L"ignored", L"x");
        client.SetSOAPPostData(c.body);
        ASSERT_EQ(client.GetSOAPPage(), 0);
        EXPECT_EQ(client.m_soapPostData, c.body);
        EXPECT_EQ(Recorded().at(0).method, c.method);
        EXPECT_EQ(Recorded().at(0).body, c.body);  // no form
        EXPECT_EQ(Recorded().at(0).Header("content-type"), "text/html; charset=UTF8");
    }
}

TEST_F(PageAndUploadTest, UploadPartsOfAnEmptyBufferAndOfNamedFiles) {
    WriteFile(folder.Path("report.txt"), "file contents");
    const std::wstring path = folder.WidePath("report.txt");
    const unsigned char data[] = {'x'};  // no terminator: a zero length must not read it
    TestHttp client = ClientFor(L"/upload");
    ASSERT_EQ(client.PostBuffer(data, 0), 0);
    ASSERT_EQ(client.PostFile(path.c_str(), L""), 0);
    ASSERT_EQ(client.PostFile(path.c_str(), L"pi\u00E8ce"), 0);
    std::vector<std::string> firstParts;
    for (const RecordedRequest& request : Recorded()) firstParts.push_back(request.parts.at(0));
    EXPECT_EQ(firstParts, (std::vector<std::string>{
                              "file_buffer(file_buffer)=", "FileField(report.txt)=file contents",
                              "pi\xC3\xA8"
                              "ce(report.txt)=file contents"}));
}

TEST_F(PageAndUploadTest, FailedUploads) {
    TestHttp client = ClientFor(L"/upload");
    EXPECT_EQ(client.PostFile(folder.WidePath("absent.txt").c_str(), nullptr), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_READ_ERROR);

    // A stop by the progress callback has a code of its own, and extra records, for buffers.
    WriteFile(folder.Path("f.txt"), "f");
    const unsigned char data[] = {'x'};
    client.SetProgressCallback(&StopAtOnce);

    LogCapture log;
    EXPECT_EQ(client.PostBuffer(data, 1), RKERR_ABORTED);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_ABORTED_BY_CALLBACK);
    const std::vector<std::string> records = log.Failures();
    ASSERT_GE(records.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(records.begin(), records.begin() + 4),
              (std::vector<std::string>{"W|Curl|2|HTTP|86", "M|Curl Error: 42",
                                        "W|Error Code : Error Desc|3|Connection|253",
                                        "M|Error Code : 2520 -- "}));

    log.Clear();
    EXPECT_EQ(client.PostFile(folder.WidePath("f.txt").c_str(), nullptr), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_ABORTED_BY_CALLBACK);
    EXPECT_EQ(log.Failures().at(0), "W|Error Code : Error Desc|3|Connection|253");
}

}  // namespace
}  // namespace rktest
