// GetFile and GetBulkFile: the file, the caller's write function, the response text.
#include "HttpTestSupport.h"

using oru::shared::error::RKERR_FILE_OPEN;
using oru::shared::error::RKERR_PERFORM;
using rktest::ClientFor;
using rktest::PatternBytes;
using rktest::ReadFile;
using rktest::Recorded;
using rktest::TempFolder;

namespace {

struct Chunks {
    static std::string received;
    static int nonNullUserData;
    static size_t Collect(char* data, size_t size, size_t count, void* userData) {
        if (userData != nullptr) ++nonNullUserData;
        received.append(data, size * count);
        return size * count;
    }
};
std::string Chunks::received;
int Chunks::nonNullUserData = 0;

class DownloadTest : public rktest::HttpServerTest {
protected:
    void SetUp() override {
        HttpServerTest::SetUp();
        Chunks::received.clear();
        Chunks::nonNullUserData = 0;
    }
    TempFolder folder;
};

TEST_F(DownloadTest, GetFileReplacesTheFileAndKeepsTheFields) {
    const std::wstring path = folder.WidePath("out.bin");
    TestHttp client = ClientFor(L"/page");
    client.AddMultiPartField(L"f", L"1");
    ASSERT_EQ(client.GetFile(path.c_str()), 0);
    client.SetHREF(L"/bytes/5");
    ASSERT_EQ(client.GetFile(path.c_str()), 0);
    EXPECT_EQ(ReadFile(folder.Path("out.bin")), "abcde");
    EXPECT_TRUE(client.m_response.empty());
    EXPECT_EQ(client.m_writeCallback, nullptr);
    EXPECT_EQ(client.m_multiPartFields.size(), 1u);
    EXPECT_EQ(Recorded().at(1).parts.size(), 2u);
    EXPECT_EQ(Recorded().at(1).HeaderCount("User-Agent"), 0u);
}

TEST_F(DownloadTest, GetBulkFileAppendsAndCountsOnFromTheCallersSize) {
    rktest::WriteFile(folder.Path("bulk.bin"), "old:");
    const std::wstring path = folder.WidePath("bulk.bin");
    TestHttp client = ClientFor(L"/page");
    std::uint64_t size = 0;
    ASSERT_EQ(client.GetBulkFile(path.c_str(), size), 0);
    EXPECT_EQ(size, 9u);
    client.SetHREF(L"/bytes/300");
    size = 1000;
    ASSERT_EQ(client.GetBulkFile(path.c_str(), size), 0);
    EXPECT_EQ(size, 1300u);
    EXPECT_EQ(ReadFile(folder.Path("bulk.bin")), "old:page body" + PatternBytes(300));

    unsigned long long hostSize = 5;  // a type of its own here; the overload forwards
    ASSERT_EQ(client.GetBulkFile(path.c_str(), hostSize), 0);
    EXPECT_EQ(hostSize, 305u);
}

TEST_F(DownloadTest, WithoutAPathTheBodyGoesToTheResponseAndSizeStays) {
    TestHttp client = ClientFor(L"/page");
    std::uint64_t size = 42;
    ASSERT_EQ(client.GetBulkFile(nullptr, size), 0);
    EXPECT_EQ(size, 42u);
    ASSERT_EQ(client.GetFile(nullptr), 0);
    EXPECT_EQ(client.m_response, "page bodypage body");
}

TEST_F(DownloadTest, TheCallersWriteFunctionServesOneTransferWithNullUserData) {
    for (const bool bulk : {false, true}) {
        SCOPED_TRACE(bulk ? "GetBulkFile" : "GetFile");
        Chunks::received.clear();
        TestHttp client = ClientFor(L"/bytes/100000");
        client.SetWriteCallbackFunc(&Chunks::Collect);
        std::uint64_t size = 7;
        ASSERT_EQ(bulk ? client.GetBulkFile(nullptr, size) : client.GetFile(nullptr), 0);
        EXPECT_EQ(Chunks::received, PatternBytes(100000));
        EXPECT_EQ(Chunks::nonNullUserData, 0);
        EXPECT_TRUE(client.m_response.empty());
        EXPECT_EQ(client.m_writeCallback, nullptr);
        EXPECT_EQ(size, 7u);

        client.SetHREF(L"/page");
        ASSERT_EQ(client.GetFile(nullptr), 0);
        EXPECT_EQ(client.m_response, "page body");
    }
}

TEST_F(DownloadTest, AMissingFolderIsAnOpenFailureAndDropsAStoredCallback) {
    TestHttp client = ClientFor(L"/page");
    client.SetWriteCallbackFunc(&Chunks::Collect);
    const std::wstring path = folder.WidePath("missing/out.bin");
    EXPECT_EQ(client.GetFile(path.c_str()), RKERR_FILE_OPEN);
    EXPECT_EQ(client.m_error.whatEx(), 0);
    EXPECT_EQ(client.m_writeCallback, nullptr);
    EXPECT_TRUE(Recorded().empty());  // nothing was sent

    std::uint64_t size = 3;
    EXPECT_EQ(client.GetBulkFile(path.c_str(), size), RKERR_FILE_OPEN);
    EXPECT_EQ(size, 3u);

    ASSERT_EQ(client.GetFile(nullptr), 0);
    EXPECT_EQ(client.m_response, "page body");
    EXPECT_TRUE(Chunks::received.empty());
}

TEST_F(DownloadTest, AFullDiskIsAWriteError) {
    TestHttp client = ClientFor(L"/bytes/200000");
    EXPECT_EQ(client.GetFile(L"/dev/full"), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_WRITE_ERROR);
    EXPECT_EQ(client.m_writeCallback, nullptr);

    std::uint64_t size = 0;
    EXPECT_EQ(client.GetBulkFile(L"/dev/full", size), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_WRITE_ERROR);
    EXPECT_LT(size, 200000u);
}

TEST_F(DownloadTest, AnHttpErrorLeavesAnEmptyFileOrTheAppendedOneAsItWas) {
    rktest::WriteFile(folder.Path("kept.bin"), "kept");
    TestHttp client = ClientFor(L"/status/404");
    EXPECT_EQ(client.GetFile(folder.WidePath("new.bin").c_str()), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_HTTP_RETURNED_ERROR);
    EXPECT_EQ(ReadFile(folder.Path("new.bin")), "");

    std::uint64_t size = 4;
    EXPECT_EQ(client.GetBulkFile(folder.WidePath("kept.bin").c_str(), size), RKERR_PERFORM);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(ReadFile(folder.Path("kept.bin")), "kept");
}

TEST_F(DownloadTest, TlsDownloadToAFile) {
    TestHttp client = ClientFor(L"/bytes/70000", true);
    ASSERT_EQ(client.GetFile(folder.WidePath("tls.bin").c_str()), 0);
    EXPECT_EQ(ReadFile(folder.Path("tls.bin")), PatternBytes(70000));
}

TEST_F(DownloadTest, ThePathReachesTheFileSystemAsUtf8) {
    TestHttp client = ClientFor(L"/page");
    ASSERT_EQ(client.GetFile(folder.WidePath("").append(L"d\u00E9j\u00E0 \u20AC.bin").c_str()), 0);
    EXPECT_EQ(ReadFile(folder.Path("d\xC3\xA9j\xC3\xA0 \xE2\x82\xAC.bin")), "page body");
}

}  // namespace

namespace {

int StopOnceDataArrived(void*, double, double downloaded, double, double) {
    return downloaded > 0 ? 1 : 0;
}

TEST_F(DownloadTest, AfterAStoppedTransferTheSizeCountsWhatReachedTheFile) {
    rktest::WriteFile(folder.Path("part.bin"), "0123456789");
    TestHttp client = ClientFor(L"/bytes/4000000");
    client.SetProgressCallback(&StopOnceDataArrived);
    std::uint64_t size = 10;
    EXPECT_EQ(client.GetBulkFile(folder.WidePath("part.bin").c_str(), size), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_ABORTED_BY_CALLBACK);
    EXPECT_GT(size, 10u);
    EXPECT_LT(size, 4000010u);
    const std::string contents = ReadFile(folder.Path("part.bin"));
    EXPECT_EQ(contents.size(), size);
    EXPECT_EQ(contents.substr(10), PatternBytes(size - 10));
}

}  // namespace
