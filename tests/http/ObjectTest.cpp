// The client object on its own: defaults, null texts, copying.
#include <limits>
#include <map>

#include "HttpTestSupport.h"

namespace rktest {
namespace {

using Fields = std::map<std::wstring, std::wstring>;

TEST(HttpObject, StartsEmptyWithTheLargestPostedFileSize) {
    TestHttp client;
    EXPECT_EQ(client.Validate(), 0);
    EXPECT_EQ(client.m_postedFileSize, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(client.m_writeCallback, nullptr);
}

TEST(HttpObject, NullTextsCountAsEmpty) {
    TestHttp client;
    EXPECT_EQ(client.AddMultiPartField(nullptr, nullptr), 0);
    EXPECT_EQ(client.m_multiPartFields, (Fields{{L"", L""}}));
    client.SetSOAPHeader("SOAPAction: x");
    client.SetSOAPPostData("<x/>");
    client.SetSOAPHeader(nullptr);
    client.SetSOAPPostData(nullptr);
    EXPECT_EQ(client.m_soapHeader + client.m_soapPostData, "");
}

TEST(HttpObject, CopiesCarryTheirOwnFieldsAndSelfAssignmentKeepsThem) {
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
    TestHttp assigned;
    assigned.AddMultiPartField(L"old", L"gone");
    assigned = copy;
    assigned.AddMultiPartField(L"c", L"3");
    EXPECT_EQ(copy.m_multiPartFields, (Fields{{L"a", L"1"}, {L"b", L"2"}}));
    for (const TestHttp* client : {&copy, &assigned}) {
        EXPECT_EQ(client->m_postFields, L"p");
        EXPECT_EQ(client->m_postedFileSize, 7u);
        EXPECT_EQ(client->m_soapHeader + client->m_soapPostData, "hd");
        EXPECT_EQ(client->m_writeCallback, &Sink);
    }

    TestHttp& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.m_multiPartFields, (Fields{{L"a", L"1"}, {L"b", L"2"}, {L"c", L"3"}}));
}

}  // namespace
}  // namespace rktest
