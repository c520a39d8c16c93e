// PostBuffer and PostFile: the file part's name, the failure codes and the extra records of a
// failed buffer upload.
#include "HttpTestSupport.h"
#include "LogCapture.h"

namespace rktest {
namespace {

int StopAtOnce(void*, double, double, double, double) {
    return 1;
}

class UploadTest : public HttpServerTest {};

TEST_F(UploadTest, ThePartsOfAnEmptyBufferAndOfNamedFiles) {
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

TEST_F(UploadTest, AnUnreadableFileFailsTheTransfer) {
    TestHttp client = ClientFor(L"/upload");
    EXPECT_EQ(client.PostFile(folder.WidePath("absent.txt").c_str(), nullptr), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_READ_ERROR);
}

TEST_F(UploadTest, AStopByTheProgressCallbackHasACodeAndRecordsOnlyForBuffers) {
    WriteFile(folder.Path("f.txt"), "f");
    const unsigned char data[] = {'x'};
    TestHttp client = ClientFor(L"/upload");
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
