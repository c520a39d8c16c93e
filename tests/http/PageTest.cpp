// GetPage and GetSOAPPage against the test server: what crosses the wire, what is left in the
// object.
#include "HttpTestSupport.h"

namespace rktest {
namespace {

class PageTest : public HttpServerTest {};

TEST_F(PageTest, PostsSubmitThenTheFieldsInKeyOrderKeepsThemAndDecodesGzip) {
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

TEST_F(PageTest, SoapIsAGetWithoutBodyAndAPostWithOne) {
    const struct {
        const char* body;
        const char* line;  // empty counts as absent
        const char* method;
        const char* soapAction;
    } cases[] = {{"", "", "GET", ""},
                 {"<Envelope>\xC3\xA9</Envelope>", "SOAPAction: \"urn:Do\"", "POST", "\"urn:Do\""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        Server().ClearRequests();
        TestHttp client = ClientFor(L"/soap");
        client.AddMultiPartField(L"ignored", L"x");
        client.SetSOAPPostData(c.body);
        client.SetSOAPHeader(c.line);
        ASSERT_EQ(client.GetSOAPPage(), 0);
        EXPECT_EQ(client.m_soapPostData, c.body);

        const RecordedRequest request = Recorded().at(0);
        EXPECT_EQ(request.method, c.method);
        EXPECT_EQ(request.body, c.body);  // no form
        EXPECT_EQ(request.Header("content-type"), "text/html; charset=UTF8");
        EXPECT_EQ(request.Header("soapaction"), c.soapAction);  // once, or not at all
        EXPECT_EQ(request.Header("accept-encoding"), "");
    }
}

}  // namespace
}  // namespace rktest
