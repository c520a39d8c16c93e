// What each operation does on its own: the pages' fields and SOAP; the uploads' parts and
// failures; the downloads into a file, the caller's function or block, or beside the target.
#include <sys/stat.h>

#include <filesystem>

#include "HttpTestSupport.h"
#include "LogCapture.h"

namespace rktest {
namespace {

std::string g_chunks;  // what Collect received, with a '!' for each non-null user data

size_t Collect(char* data, size_t size, size_t count, void* userData) {
    g_chunks.append(data, size * count).append(userData != nullptr ? "!" : "");
    return size * count;
}

const std::string kBody = PatternBytes(1000);
const std::string kPart = kBody.substr(0, 300);

// A file in dir beside the target (a temporary file filling, or one left behind), or "".
std::string Beside(const std::string& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename() != "target") return entry.path().string();
    return "";
}

unsigned ModeOf(const std::string& path) {
    return static_cast<unsigned>(std::filesystem::status(path).permissions());
}

unsigned g_modeWhileFilling = 0;
std::string g_folder;
int NotePartMode(void*, double, double, double, double) {
    const std::string part = Beside(g_folder);
    if (!part.empty()) g_modeWhileFilling = ModeOf(part);
    return 0;
}

class OperationsTest : public HttpServerTest {};

TEST_F(OperationsTest, PostsSubmitThenTheFieldsInKeyOrderKeepsThemAndDecodesGzip) {
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

TEST_F(OperationsTest, SoapIsAGetWithoutBodyAndAPostWithOne) {
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

TEST_F(OperationsTest, UploadPartsAndFailures) {
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

    EXPECT_EQ(client.PostFile(folder.WidePath("absent.txt").c_str(), nullptr), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_READ_ERROR);

    // A stop by the progress callback has a code of its own, and extra records, for buffers.
    client.SetProgressCallback([](void*, double, double, double, double) { return 1; });
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
    EXPECT_EQ(client.PostFile(path.c_str(), nullptr), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_ABORTED_BY_CALLBACK);
    EXPECT_EQ(log.Failures().at(0), "W|Error Code : Error Desc|3|Connection|253");
}

TEST_F(OperationsTest, GetFileReplacesAndGetBulkFileAppendsCountingOnFromTheCallersSize) {
    const std::string name = "d\xC3\xA9j\xC3\xA0 \xE2\x82\xAC.bin";
    WriteFile(folder.Path(name), "old contents");
    TestHttp client = ClientFor(L"/bytes/5");
    ASSERT_EQ(client.GetFile(folder.WidePath("").append(L"d\u00E9j\u00E0 \u20AC.bin").c_str()), 0);
    EXPECT_EQ(ReadFile(folder.Path(name)), "abcde");

    WriteFile(folder.Path("bulk"), "old:");
    unsigned long long size = 1000;  // a type of its own here; the overload forwards
    ASSERT_EQ(client.GetBulkFile(folder.WidePath("bulk").c_str(), size), 0);
    EXPECT_EQ(size, 1005u);
    EXPECT_EQ(ReadFile(folder.Path("bulk")), "old:abcde");
    EXPECT_TRUE(client.m_response.empty());
}

TEST_F(OperationsTest, DownloadsWithoutAPathServeTheCallersFunctionOnceThenTheResponse) {
    for (const bool bulk : {false, true}) {
        SCOPED_TRACE(bulk ? "GetBulkFile" : "GetFile");
        g_chunks.clear();
        TestHttp client = ClientFor(L"/bytes/100000");
        client.SetWriteCallbackFunc(&Collect);
        std::uint64_t size = 7;
        for (int round = 0; round < 2; ++round)
            ASSERT_EQ(bulk ? client.GetBulkFile(nullptr, size) : client.GetFile(nullptr), 0);
        EXPECT_EQ(client.m_writeCallback, nullptr);
        EXPECT_EQ(g_chunks, PatternBytes(100000));
        EXPECT_EQ(client.m_response, PatternBytes(100000));
        EXPECT_EQ(size, 7u);
    }
    CurlInterposer::Reset();
    CurlInterposer::FailSetopt(CURLOPT_WRITEDATA, CURLE_UNKNOWN_OPTION, 2);  // after Prepare's
    TestHttp client = ClientFor(L"/page");
    client.SetWriteCallbackFunc(&Collect);
    EXPECT_EQ(client.GetFile(nullptr), RKERR_SET_OPTION);
    EXPECT_EQ(client.m_writeCallback, &Collect);  // refused, it stays for the next transfer
}

TEST_F(OperationsTest, FailedDownloads) {
    TestHttp client = ClientFor(L"/bytes/100");
    client.SetWriteCallbackFunc(&Sink);
    const std::wstring missing = folder.WidePath("missing/out.bin");  // nothing is sent
    EXPECT_EQ(client.GetFile(missing.c_str()), RKERR_FILE_OPEN);
    EXPECT_EQ(client.m_error.whatEx(), 0);
    EXPECT_EQ(client.m_writeCallback, nullptr);  // dropped all the same
    std::uint64_t size = 3;
    EXPECT_EQ(client.GetBulkFile(missing.c_str(), size), RKERR_FILE_OPEN);
    EXPECT_EQ(size, 3u);
    MakeDirs(folder.Path("dir"));
    for (const std::wstring& path : {missing, folder.WidePath("dir")}) {
        for (const int resume : {0, 1}) {
            EXPECT_EQ(client.GetFileTo(path.c_str(), resume), RKERR_FILE_OPEN) << path << resume;
        }
    }
    EXPECT_EQ(client.GetFileTo(nullptr, 0), RKERR_FILE_OPEN);
    EXPECT_TRUE(Recorded().empty());

    // A small body fails only at the flush of the close: still a failed write, for both.
    EXPECT_EQ(client.GetFile(L"/dev/full"), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_WRITE_ERROR);
    size = 0;
    EXPECT_EQ(client.GetBulkFile(L"/dev/full", size), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_WRITE_ERROR);
    EXPECT_EQ(size, 0u);  // none of the bytes reached the file

    client.SetHREF(L"/status/404");  // the file is made empty all the same
    WriteFile(folder.Path("old"), "old");
    EXPECT_EQ(client.GetFile(folder.WidePath("old").c_str()), RKERR_PERFORM);
    EXPECT_EQ(ReadFile(folder.Path("old")), "");
    EXPECT_EQ(client.GetLastResponseCode(), 404);  // read after the handle is gone

    client.SetHREF(L"/bytes/4000000");  // a stop counts what reached the file
    client.SetProgressCallback(
        [](void*, double, double down, double, double) { return down > 0 ? 1 : 0; });
    size = 10;
    WriteFile(folder.Path("part"), "0123456789");
    EXPECT_EQ(client.GetBulkFile(folder.WidePath("part").c_str(), size), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_ABORTED_BY_CALLBACK);
    EXPECT_GT(size, 10u);
    EXPECT_LT(size, 4000010u);
    EXPECT_EQ(ReadFile(folder.Path("part")), "0123456789" + PatternBytes(size - 10));
}

TEST_F(OperationsTest, GetBufferTakesUpToItsCapacityAndOneByteMoreTouchesNothing) {
    for (const std::size_t size : {std::size_t(0), std::size_t(100), std::size_t(4) << 20}) {
        for (const bool fits : {true, false}) {  // else nothing is touched
            SCOPED_TRACE(std::to_string(size) + (fits ? "" : " + 1"));
            TestHttp client = ClientFor(L"/bytes/" + std::to_wstring(size + (fits ? 0 : 1)));
            client.m_response = "before";
            std::string block(size + 1, 'X');
            unsigned long long received = 777;  // the host size type; the overload forwards
            const int result =
                client.GetBuffer(size, reinterpret_cast<unsigned char*>(&block[0]), received);
            EXPECT_EQ(client.m_response, "before");
            EXPECT_EQ(result, fits ? 0 : RKERR_PERFORM);
            EXPECT_EQ(client.m_error.whatEx(), fits ? 0 : CURLE_WRITE_ERROR);
            EXPECT_EQ(received, fits ? size : 777u);
            EXPECT_TRUE(block == (fits ? PatternBytes(size) : std::string(size, 'X')) + "X");
        }
    }
    std::uint64_t received = 9;
    TestHttp client = ClientFor(L"/page");
    ASSERT_EQ(client.GetBuffer(64, nullptr, received), 0);  // a null block receives nothing
    EXPECT_EQ(received, 0u);
}

TEST_F(OperationsTest, AnUnobtainableReceiveBlockThrowsAfterReleasingTheHandle) {
    TestHttp client = ClientFor(L"/page");
    std::uint64_t received = 5;
    unsigned char block[1];
    EXPECT_THROW(client.GetBuffer(std::uint64_t(1) << 62, block, received), std::bad_alloc);
    EXPECT_EQ(CurlInterposer::EasyCleanupCalls(), 1);
    EXPECT_EQ(CurlInterposer::PerformCalls(), 0);
    EXPECT_EQ(received, 5u);
}

// GetFileTo fills a file beside the target, the owner's alone, and moves it into place with the
// replaced file's mode bits, or a new file's; a resumed download asks for the rest (/whole
// ignores ranges).
TEST_F(OperationsTest, GetFileToWholeOrResumedNeverCorruptsTheLocalFileNorItsMode) {
    const struct {
        const char* what;
        const wchar_t* href;
        const std::string* before;  // the local file's contents (mode 0604); null: no file
        int resume;
        int extended;  // 0: success
        std::string after;
        const char* range;  // the Range header the server saw
    } cases[] = {
        {"whole, new file", L"/bytes/1000", nullptr, 0, 0, kBody, ""},
        {"whole, replaced", L"/bytes/1000", &kPart, 0, 0, kBody, ""},
        {"whole, 404 leaves the old file", L"/status/404", &kPart, 0, CURLE_HTTP_RETURNED_ERROR,
         kPart, ""},
        {"resumed", L"/bytes/1000", &kPart, 1, 0, kBody, "bytes=300-"},
        {"resumed, no file yet", L"/bytes/1000", nullptr, 1, 0, kBody, ""},
        {"resumed, complete already (416)", L"/bytes/1000", &kBody, 1, 0, kBody, "bytes=1000-"},
        {"resumed, longer than the remote", L"/bytes/700", &kBody, 1, CURLE_BAD_DOWNLOAD_RESUME,
         kBody, "bytes=1000-"},
        {"resumed, range ignored", L"/whole/1000", &kPart, 1, CURLE_RANGE_ERROR, kPart,
         "bytes=300-"},
        {"resumed, 404 leaves the part", L"/status/404", &kPart, 1, CURLE_HTTP_RETURNED_ERROR,
         kPart, "bytes=300-"},
    };
    const mode_t mask = umask(022);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        g_folder = dir.Path();
        g_modeWhileFilling = 0;
        if (c.before != nullptr) WriteFile(dir.Path("target"), *c.before);
        chmod(dir.Path("target").c_str(), 0604);
        Server().ClearRequests();
        TestHttp client = ClientFor(c.href);
        client.SetProgressCallback(&NotePartMode);
        EXPECT_EQ(client.GetFileTo(dir.WidePath("target").c_str(), c.resume),
                  c.extended == 0 ? 0 : RKERR_PERFORM);
        EXPECT_EQ(client.m_error.whatEx(), c.extended);
        EXPECT_EQ(ReadFile(dir.Path("target")), c.after);
        EXPECT_EQ(Beside(dir.Path()), "");
        EXPECT_EQ(g_modeWhileFilling, c.resume ? 0u : 0600u);
        EXPECT_EQ(ModeOf(dir.Path("target")), c.before != nullptr ? 0604u : 0644u);
        EXPECT_EQ(Recorded().at(0).method, "GET");  // no form
        EXPECT_EQ(Recorded().at(0).Header("range"), c.range);
    }
    umask(mask);
}

}  // namespace
}  // namespace rktest
