// Settings, the response buffer, the path rules and failure reporting of the connection base.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstring>

#include "TestConnection.h"
#include "foundation/PathRules.h"

using oru::shared::error::RKERR_PERFORM;

TEST(Connection, ResponseIsCollectedAndCopiedOut) {
    TestConnection connection;
    char data[] = "hello";
    EXPECT_EQ(TestConnection::WriteStream(data, 1, 3, nullptr), 0);
    EXPECT_EQ(TestConnection::WriteStream(data, 1, 2, &connection.m_response), 2);
    EXPECT_EQ(TestConnection::WriteStream(data + 2, 1, 3, &connection.m_response), 3);
    char buffer[8] = "#######";
    std::size_t length = 99;
    EXPECT_EQ(connection.GetResponse(buffer, 0, length), 0);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(connection.GetResponse(buffer, 4, length), 2503);  // buffer too small
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(connection.Validate(), 0);  // the error record is not touched
    EXPECT_EQ(connection.GetResponse(buffer, 5, length), 0);
    EXPECT_EQ(std::string(buffer, 6), "hello#");  // no terminator added
}

// FTP names as URL text: every byte but the unreserved ones and "/" encoded, "%" too.
TEST(PathRules, EncodeSegments) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"/pub/incoming/file-1_v2.~tar.gz", "/pub/incoming/file-1_v2.~tar.gz"},  // unchanged
        {"/a b/%41", "/a%20b/%2541"},
        {"x;y+[x]\\a:b@c&d=e", "x%3By%2B%5Bx%5D%5Ca%3Ab%40c%26d%3De"},
        {"caf\xC3\xA9//a//", "caf%C3%A9//a//"},
        {std::string("\r\n\x01\x7F\xFF", 5), "%0D%0A%01%7F%FF"},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(rkcurl::path::EncodeSegments(path), expected) << path;
    }
}

TEST(FailureReporting, ErrorBufferAndMessages) {
    TestConnection c;
    std::strcpy(c.m_curlErrorBuffer, "Could not resolve host: nowhere");
    char five[5], large[300];
    c.GetLastCurlError(five, 5);
    EXPECT_STREQ(five, "Coul");
    std::memset(large, 'x', sizeof large);
    c.GetLastCurlError(large, sizeof large);
    EXPECT_STREQ(large, "Could not resolve host: nowhere");
    EXPECT_EQ(large[256], 'x');  // never beyond the 256 bytes of the error buffer

    // The main message is emptied; the extended one is libcurl's text and the buffer's detail.
    c.m_error.SetMessage(L"stale");
    c.SetErrorString(RKERR_PERFORM, CURLE_COULDNT_RESOLVE_HOST, c.m_error);
    EXPECT_EQ(oru::helper::WideStrToNarStr(c.m_error.GetMessageW() +
                                           (L"|" + std::wstring(c.m_error.GetMessageEx()))),
              "|" + std::string(curl_easy_strerror(CURLE_COULDNT_RESOLVE_HOST)) +
                  "\nCould not resolve host: nowhere");

    std::memset(c.m_curlErrorBuffer, 'y', sizeof c.m_curlErrorBuffer);  // unterminated
    std::string text;
    c.GetLastCurlError(text);
    EXPECT_EQ(text, std::string(256, 'y'));
}
