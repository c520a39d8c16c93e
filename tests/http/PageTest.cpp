// GetPage and GetSOAPPage against the in-process servers: what crosses the wire, what is left in
// the object.
#include "HttpTestSupport.h"

using oru::shared::error::RKERR_PERFORM;
using rktest::ClientFor;
using rktest::Recorded;
using rktest::RecordedPart;
using rktest::RecordedRequest;

namespace {

const char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.2; .NET CLR 1.1.4322)";

std::vector<std::string> PartTexts(const RecordedRequest& request) {
    std::vector<std::string> texts;
    for (const RecordedPart& part : request.parts) texts.push_back(part.name + "=" + part.content);
    return texts;
}

std::string Response(TestHttp& client) {
    return client.m_response;
}

class PageTest : public rktest::HttpServerTest {};

TEST_F(PageTest, PostsSubmitThenTheFieldsInKeyOrderAndKeepsThem) {
    TestHttp client = ClientFor(L"/page");
    client.AddMultiPartField(L"z", L"1");
    client.AddMultiPartField(L"a", L"first");
    client.AddMultiPartField(L"abc", L"3");
    client.AddMultiPartField(L"B", L"4");
    client.AddMultiPartField(L"ab", L"\u00E9t\u00E9");
    client.AddMultiPartField(L"a", L"2");  // replaced, keeps its place
    ASSERT_EQ(client.GetPage(), 0);
    ASSERT_EQ(client.GetPage(), 0);

    const std::vector<std::string> expected = {"submit=send",          "B=4",   "a=2",
                                               "ab=\xC3\xA9t\xC3\xA9", "abc=3", "z=1"};
    const auto requests = Recorded();
    ASSERT_EQ(requests.size(), 2u);
    for (const RecordedRequest& request : requests) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.path, "/page");
        EXPECT_TRUE(request.multipart);
        EXPECT_EQ(PartTexts(request), expected);
    }
    EXPECT_EQ(client.m_multiPartFields.size(), 5u);
    EXPECT_EQ(Response(client), "page bodypage body");
    EXPECT_EQ(client.Validate(), 0);
}

TEST_F(PageTest, SendsTheFixedHeadersAndDecodesGzip) {
    TestHttp client = ClientFor(L"/gzip");
    ASSERT_EQ(client.GetPage(), 0);
    EXPECT_EQ(Response(client), "decoded by the client");

    const RecordedRequest request = Recorded().at(0);
    EXPECT_EQ(PartTexts(request), std::vector<std::string>{"submit=send"});
    EXPECT_EQ(request.Header("User-Agent"), kUserAgent);
    EXPECT_EQ(request.Header("Connection"), "Keep-Alive");
    EXPECT_EQ(request.Header("Accept-Encoding"), "gzip,deflate,compress");
    EXPECT_EQ(request.Header("Content-Type").rfind("multipart/form-data", 0), 0u);
}

TEST_F(PageTest, HttpErrorIsAFailedTransferAndKeepsTheFields) {
    TestHttp client = ClientFor(L"/status/404");
    client.AddMultiPartField(L"k", L"v");
    EXPECT_EQ(client.GetPage(), RKERR_PERFORM);
    EXPECT_EQ(client.Validate(), RKERR_PERFORM);
    EXPECT_EQ(client.m_error.whatEx(), CURLE_HTTP_RETURNED_ERROR);
    EXPECT_EQ(client.m_lastCurlCode, CURLE_HTTP_RETURNED_ERROR);
    EXPECT_EQ(client.m_multiPartFields.size(), 1u);

    client.SetHREF(L"/page");  // the next request succeeds and clears the error
    EXPECT_EQ(client.GetPage(), 0);
    EXPECT_EQ(client.Validate(), 0);
    EXPECT_EQ(PartTexts(Recorded().at(1)), (std::vector<std::string>{"submit=send", "k=v"}));
}

TEST_F(PageTest, RedirectIsFollowedOnlyBySoap) {
    TestHttp page = ClientFor(L"/redirect");
    ASSERT_EQ(page.GetPage(), 0);
    EXPECT_EQ(Response(page), "moved");
    EXPECT_EQ(Recorded().size(), 1u);

    TestHttp soap = ClientFor(L"/redirect");
    ASSERT_EQ(soap.GetSOAPPage(), 0);
    EXPECT_EQ(Response(soap), "page body");
    const auto requests = Recorded();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].path, "/page");
}

TEST_F(PageTest, SoapWithoutBodyIsAGetWithTwoExtraLines) {
    TestHttp client = ClientFor(L"/soap");
    client.AddMultiPartField(L"ignored", L"x");
    client.SetSOAPHeader("");  // empty counts as absent
    ASSERT_EQ(client.GetSOAPPage(), 0);
    EXPECT_EQ(Response(client), "ok");

    const RecordedRequest request = Recorded().at(0);
    EXPECT_EQ(request.method, "GET");
    EXPECT_FALSE(request.multipart);
    EXPECT_EQ(request.bodySize, 0u);
    EXPECT_EQ(request.Header("Connection"), "Keep-Alive");
    EXPECT_EQ(request.Header("Content-Type"), "text/html; charset=UTF8");
    EXPECT_EQ(request.Header("User-Agent"), kUserAgent);
    EXPECT_EQ(request.HeaderCount("Accept-Encoding"), 0u);
    EXPECT_EQ(request.HeaderCount("SOAPAction"), 0u);
    EXPECT_EQ(client.m_multiPartFields.size(), 1u);
}

TEST_F(PageTest, SoapWithBodyPostsItWithTheCallersLine) {
    TestHttp client = ClientFor(L"/soap");
    client.SetSOAPPostData("<Envelope>\xC3\xA9</Envelope>");
    client.SetSOAPHeader("SOAPAction: \"urn:Do\"");
    ASSERT_EQ(client.GetSOAPPage(), 0);
    ASSERT_EQ(client.GetSOAPPage(), 0);  // the inputs stay for the next call

    for (const RecordedRequest& request : Recorded()) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.body, "<Envelope>\xC3\xA9</Envelope>");
        EXPECT_EQ(request.Header("Content-Type"), "text/html; charset=UTF8");
        EXPECT_EQ(request.Header("SOAPAction"), "\"urn:Do\"");
    }
    EXPECT_EQ(client.m_soapPostData, "<Envelope>\xC3\xA9</Envelope>");
    EXPECT_EQ(Response(client), "okok");
}

TEST_F(PageTest, TlsAcceptsTheSelfSignedCertificate) {
    TestHttp page = ClientFor(L"/page", true);
    page.AddMultiPartField(L"f", L"v");
    ASSERT_EQ(page.GetPage(), 0);
    EXPECT_EQ(Response(page), "page body");

    TestHttp soap = ClientFor(L"/soap", true);
    ASSERT_EQ(soap.GetSOAPPage(), 0);
    const auto requests = Recorded(true);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(PartTexts(requests[0]), (std::vector<std::string>{"submit=send", "f=v"}));
    EXPECT_EQ(requests[1].method, "GET");
}

}  // namespace
