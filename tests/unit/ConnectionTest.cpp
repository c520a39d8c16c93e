// Settings, the response buffer, the path rules and failure reporting of the connection base.
#include <gtest/gtest.h>
#include <curl/curl.h>

#include <cstring>

#include "LogCapture.h"
#include "TestConnection.h"

using oru::shared::error::RKERR_BUFFER_TOO_SMALL;
using oru::shared::error::RKERR_HANDLE_INIT;
using oru::shared::error::RKERR_PERFORM;

TEST(NetworkSetting, StoresTextsAndCopiesThem) {
    TestConnection connection;
    EXPECT_STREQ(connection.GetServer(), L"");
    connection.SetHREF(L"/pub/\u00E9t\u00E9/");
    EXPECT_EQ(connection.m_href, "/pub/\xC3\xA9t\xC3\xA9/");
    EXPECT_EQ(connection.Href(), L"/pub/\u00E9t\u00E9/");
    connection.SetServer(nullptr);
    EXPECT_STREQ(connection.GetServer(), L"");

    auto* source = new TestConnection;
    source->SetServer(L"host:21");
    source->SetHREF(L"/a");
    TestConnection copy(*source);
    delete source;
    EXPECT_STREQ(copy.GetServer(), L"host:21");
    EXPECT_EQ(copy.m_href, "/a");
    copy.m_urlBuffer[0] = 'x';  // the copy's buffer is its own and still valid
}

TEST(Connection, GetResponseReportsCopiesOrRefuses) {
    TestConnection connection;
    connection.m_response = "hello";
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    std::size_t length = 99;

    EXPECT_EQ(connection.GetResponse(buffer, 0, length), 0);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(buffer[0], '#');

    EXPECT_EQ(connection.GetResponse(buffer, 4, length), RKERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(connection.Validate(), 0);  // the error record is not touched

    EXPECT_EQ(connection.GetResponse(buffer, 5, length), 0);
    EXPECT_EQ(std::string(buffer, 6), "hello#");  // no terminator added
    EXPECT_EQ(connection.m_response, "hello");
}

TEST(Connection, WriteStreamAppendsOrRefusesANullTarget) {
    std::string target = "a";
    char data[] = "bcdef";
    EXPECT_EQ(TestConnection::WriteStream(data, 1, 3, &target), 3);
    EXPECT_EQ(target, "abcd");
    EXPECT_EQ(TestConnection::WriteStream(data, 1, 3, nullptr), 0);
}

struct PathCase {
    std::string base;
    std::string path;
    std::string expected;
};

TEST(PathComposition, NormalizeAndConcatenate) {
    TestConnection c;
    EXPECT_EQ(c.Normalize("a\\b\\c"), "a/b/c");
    EXPECT_EQ(c.Normalize("\\\\srv\\share\\"), "//srv/share/");
    EXPECT_EQ(c.Normalize("/x/./y//"), "/x/./y//");

    const PathCase joins[] = {
        {"/pub", "incoming", "/pub/incoming"}, {"/pub/", "incoming", "/pub/incoming"},
        {"/pub", "/other/dir", "/other/dir"},  {"/pub", "", "/pub"},
        {"", "pub", "/pub"},                   {"", "", ""},
        {"/pub/", "x//y/", "/pub/x//y/"},      {"/pub", "../x", "/pub/../x"},
    };
    for (const PathCase& j : joins) {
        EXPECT_EQ(c.ConcatenateURL(j.base, j.path), j.expected) << j.base << " + " << j.path;
    }
}

TEST(PathComposition, PathNameOfAnHref) {
    const std::pair<std::wstring, std::string> cases[] = {
        {L"ftp://host/dir/f.txt", "/dir/f.txt"},
        {L"ftp://host", "/"},
        {L"/a/b/c", "/b/c"},
        {L"no-slash", ""},
        {L"a/", "/"},
    };
    for (const auto& c : cases) {
        TestConnection connection;
        connection.SetHREF(c.first.c_str());
        EXPECT_EQ(connection.GetPathName(), c.second);
    }
}

TEST(FailureReporting, ErrorBufferAccessors) {
    TestConnection c;
    std::strcpy(c.m_curlErrorBuffer, "Could not resolve host: nowhere");
    char small[1] = {'x'};
    c.GetLastCurlError(small, 1);
    EXPECT_EQ(small[0], '\0');

    char five[5];
    c.GetLastCurlError(five, 5);
    EXPECT_STREQ(five, "Coul");

    char large[300];
    std::memset(large, 'x', sizeof large);
    c.GetLastCurlError(large, sizeof large);
    EXPECT_STREQ(large, "Could not resolve host: nowhere");
    EXPECT_EQ(large[255], '\0');
    EXPECT_EQ(large[256], 'x');  // never beyond the 256 bytes of the error buffer

    std::memset(c.m_curlErrorBuffer, 'y', sizeof c.m_curlErrorBuffer);  // unterminated
    std::string text;
    c.GetLastCurlError(text);
    EXPECT_EQ(text, std::string(256, 'y'));

    c.ResetCurlErrorBuffer();
    c.GetLastCurlError(text);
    EXPECT_EQ(text, "");
}

TEST(FailureReporting, MessagesAndRecordsOfATransferFailure) {
    TestConnection c;
    c.m_error.SetMessage(L"stale");
    std::strcpy(c.m_curlErrorBuffer, "detail B");
    rktest::LogCapture capture;

    c.m_error.setErrorCD(RKERR_PERFORM, 6);
    c.SetErrorString(RKERR_PERFORM, 6, c.m_error);

    const std::string description = curl_easy_strerror(CURLE_COULDNT_RESOLVE_HOST);
    EXPECT_EQ(c.m_error.what(), 2509);
    EXPECT_EQ(c.m_error.whatEx(), 6);
    EXPECT_STREQ(c.m_error.GetMessageW(), L"");
    EXPECT_EQ(oru::helper::WideStrToNarStr(c.m_error.GetMessageEx()), description + "\ndetail B");
    EXPECT_EQ(capture.Failures(),
              (std::vector<std::string>{"W|Error Code : Error Desc|3|Connection|253",
                                        "M|Error Code : 2509 -- ",
                                        "M|Extended Error 6 : " + description + "\ndetail B"}));
}

TEST(FailureReporting, WithoutAnExtendedCodeTheExtendedMessageStays) {
    TestConnection c;
    c.m_error.SetMessageEx(std::wstring(L"previous"));
    rktest::LogCapture capture;
    c.m_error.m_code = RKERR_HANDLE_INIT;
    c.SetErrorString(RKERR_HANDLE_INIT, 0, c.m_error);
    EXPECT_STREQ(c.m_error.GetMessageEx(), L"previous");
    EXPECT_EQ(capture.Failures(), (std::vector<std::string>{"W|Error Code : Error Desc|3|Connection|253",
                                                            "M|Error Code : 2505 -- "}));

    c.SetErrorString(RKERR_PERFORM, CURLE_OPERATION_TIMEDOUT, c.m_error);
    EXPECT_EQ(oru::helper::WideStrToNarStr(c.m_error.GetMessageEx()),
              std::string(curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)) + "\n");
}

TEST(Exports, TheThreeUnusedItems) {
    CRKCurl a;
    CRKCurl b;
    a = b;
    EXPECT_EQ(fnRKCurl(), 42);
    EXPECT_EQ(nRKCurl, 0);
}
