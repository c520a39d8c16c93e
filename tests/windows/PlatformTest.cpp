// The platform layer on Windows: the system's records, conversions and C runtime calls.
#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "RKCurl/RKCurl.h"

using oru::helper::NarStrToWideStr;
using oru::helper::WideStrToNarStr;

TEST(WindowsPlatform, RecordsAndWideTextHaveTheirWindowsSizes) {
    EXPECT_EQ(sizeof(WIN32_FIND_DATAW), 592u);
    EXPECT_EQ(sizeof(wchar_t), 2u);
    EXPECT_EQ(sizeof(DWORD), 4u);
    EXPECT_EQ(sizeof(FILETIME), 8u);
    EXPECT_EQ(sizeof(SYSTEMTIME), 16u);
}

TEST(WindowsPlatform, TextConversionIsUtf16) {
    const std::string utf8 = "caf\xC3\xA9 \xF0\x9F\x98\x80";
    const std::wstring wide = NarStrToWideStr(utf8);
    // c a f é space, then U+1F600 as a surrogate pair.
    ASSERT_EQ(wide.size(), 7u);
    EXPECT_EQ(wide, (std::wstring{L'c', L'a', L'f', 0xE9, L' ', 0xD83D, 0xDE00}));
    EXPECT_EQ(WideStrToNarStr(wide), utf8);

    // A lone surrogate and a malformed sequence become U+FFFD; zeros end the text.
    EXPECT_EQ(WideStrToNarStr(std::wstring{L'a', static_cast<wchar_t>(0xD800), L'b'}),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(NarStrToWideStr("a\x80z"), L"a\uFFFDz");
    EXPECT_EQ(NarStrToWideStr(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(WideStrToNarStr(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(NarStrToWideStr(""), L"");
}

TEST(WindowsPlatform, SystemTimeToFileTimeIsTheSystemCall) {
    const SYSTEMTIME known{2024, 11, 0, 30, 0, 0, 0, 0};
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&known, &ft));
    EXPECT_EQ((static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime,
              133773984000000000ULL);
    const SYSTEMTIME impossible{2024, 13, 0, 1, 0, 0, 0, 0};
    EXPECT_FALSE(SystemTimeToFileTime(&impossible, &ft));
}

TEST(WindowsPlatform, RuntimeClockCalls) {
    const __time64_t before = -1, known = 1772409600;  // 2026-03-02T00:00:00Z
    EXPECT_EQ(_gmtime64(&before), nullptr);
    const std::tm* utc = _gmtime64(&known);
    ASSERT_NE(utc, nullptr);
    EXPECT_EQ(utc->tm_year + 1900, 2026);
    EXPECT_EQ(utc->tm_mon, 2);
    EXPECT_EQ(utc->tm_mday, 2);
    EXPECT_NE(_localtime64(&known), nullptr);
    EXPECT_GT(_time64(nullptr), known - 86400 * 365 * 10);
}
