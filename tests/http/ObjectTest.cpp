// The client object on its own: defaults, the field map, copying, null texts, write functions.
#include <cstdio>
#include <limits>
#include <map>

#include "HttpTestSupport.h"

namespace {

using Fields = std::map<std::wstring, std::wstring>;

size_t Sink(char*, size_t size, size_t count, void*) {
    return size * count;
}

TEST(HttpObject, StartsEmptyWithTheLargestPostedFileSize) {
    TestHttp client;
    EXPECT_EQ(client.Validate(), 0);
    EXPECT_EQ(client.m_postedFileSize, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(client.m_writeCallback, nullptr);
    EXPECT_TRUE(client.m_multiPartFields.empty());
    EXPECT_TRUE(client.m_postFields.empty());
    EXPECT_TRUE(client.m_soapPostData.empty());
    EXPECT_TRUE(client.m_soapHeader.empty());
}

TEST(HttpObject, FieldsAreKeyedByCodeUnitAndReplacedInPlace) {
    TestHttp client;
    EXPECT_EQ(client.AddMultiPartField(L"b", L"1"), 0);
    client.AddMultiPartField(L"a", L"2");
    client.AddMultiPartField(L"b", L"3");
    client.AddMultiPartField(L"abc", L"");
    client.AddMultiPartField(L"ab", L"x");
    client.AddMultiPartField(L"B", L"y");
    client.AddMultiPartField(L"", L"empty name");
    EXPECT_EQ(client.m_multiPartFields, (Fields{{L"", L"empty name"},
                                                {L"B", L"y"},
                                                {L"a", L"2"},
                                                {L"ab", L"x"},
                                                {L"abc", L""},
                                                {L"b", L"3"}}));
}

TEST(HttpObject, NullTextsCountAsEmpty) {
    TestHttp client;
    EXPECT_EQ(client.SetPostFields(nullptr), 0);
    EXPECT_EQ(client.AddMultiPartField(nullptr, nullptr), 0);
    EXPECT_EQ(client.m_multiPartFields, (Fields{{L"", L""}}));
    client.SetSOAPHeader("SOAPAction: x");
    client.SetSOAPPostData("<x/>");
    client.SetSOAPHeader(nullptr);
    client.SetSOAPPostData(nullptr);
    EXPECT_TRUE(client.m_soapHeader.empty());
    EXPECT_TRUE(client.m_soapPostData.empty());
}

TEST(HttpObject, CopiesCarryTheirOwnFieldsAndTexts) {
    TestHttp source;
    source.AddMultiPartField(L"a", L"1");
    source.SetPostFields(L"p");
    source.SetPostedFileSize(7);
    source.SetSOAPHeader("h");
    source.SetSOAPPostData("d");
    source.SetWriteCallbackFunc(&Sink);

    TestHttp copy(source);
    copy.AddMultiPartField(L"b", L"2");
    EXPECT_EQ(source.m_multiPartFields, (Fields{{L"a", L"1"}}));
    EXPECT_EQ(copy.m_postFields, L"p");
    EXPECT_EQ(copy.m_postedFileSize, 7u);
    EXPECT_EQ(copy.m_soapHeader, "h");
    EXPECT_EQ(copy.m_soapPostData, "d");
    EXPECT_EQ(copy.m_writeCallback, &Sink);

    TestHttp assigned;
    assigned.AddMultiPartField(L"old", L"gone");
    assigned = copy;
    EXPECT_EQ(assigned.m_multiPartFields, (Fields{{L"a", L"1"}, {L"b", L"2"}}));
    assigned.AddMultiPartField(L"c", L"3");
    EXPECT_EQ(copy.m_multiPartFields.size(), 2u);

    TestHttp& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.m_multiPartFields.size(), 3u);
}

TEST(HttpWriteFunctions, BufferTakesOnlyTheRoomLeft) {
    unsigned char block[10] = {};
    CRHTTP::WriteBufferData record{10, block, block + 8, 8};
    char data[] = "vwxyz";
    EXPECT_EQ(CRHTTP::WriteBufferCallbackFunc(data, 1, 5, &record), 2u);
    EXPECT_EQ(record.length, 10u);
    EXPECT_EQ(record.cursor, block + 10);
    EXPECT_EQ(block[8], 'v');
    EXPECT_EQ(block[9], 'w');
    EXPECT_EQ(CRHTTP::WriteBufferCallbackFunc(data, 1, 0, &record), 0u);
    EXPECT_EQ(record.length, 10u);
}

TEST(HttpWriteFunctions, FileFunctionsReportWhatFwriteWrote) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    char data[300] = {};
    EXPECT_EQ(CRHTTP::WriteFileCallbackFunc(data, 1, 100, file), 100u);
    CRHTTP::WriteBulkFileData record{file, 1000};
    EXPECT_EQ(CRHTTP::WriteBulkFileCallbackFunc(data, 1, 300, &record), 300u);
    EXPECT_EQ(record.bytesWritten, 1300u);
    EXPECT_EQ(std::ftell(file), 400);
    std::fclose(file);
}

}  // namespace
