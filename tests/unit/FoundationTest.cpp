// The error record, the text conversions and the Windows stand-ins.
#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "RKCurl/RKCurl.h"
#include "platform/CRuntime.h"

using oru::helper::NarStrToWideStr;
using oru::helper::WideStrToNarStr;
using oru::shared::error::CRKError;
using oru::shared::error::RKERR_PERFORM;
using oru::shared::error::RKERR_SET_OPTION;

TEST(ErrorRecord, MessagesAreCutAfter1023Characters) {
    CRKError error;
    const std::wstring exact(1023, L'x');
    error.SetMessage(exact);
    EXPECT_EQ(std::wstring(error.GetMessageW()), exact);

    error.SetMessageEx(std::wstring(1023, L'y') + L"z");
    EXPECT_EQ(std::wstring(error.GetMessageEx()), std::wstring(1023, L'y'));
    EXPECT_EQ(error.m_messageEx[1023], L'\0');
}

TEST(ErrorRecord, CodesMessagesCopiesAndReset) {
    CRKError error;
    error.SetMessage(L"main");
    error.setErrorCD(RKERR_SET_OPTION, 7);
    EXPECT_EQ(error.what(), 2506);
    EXPECT_EQ(static_cast<int>(error), 2506);
    EXPECT_EQ(error.whatEx(), 7);
    EXPECT_STREQ(error.GetMessageW(), L"main");  // setErrorCD leaves the messages alone

    error.SetMessageEx(std::string("caf\xC3\xA9"));
    EXPECT_STREQ(error.GetMessageEx(), L"caf\u00E9");

    CRKError& self = error;
    error = self;
    EXPECT_EQ(error.what(), 2506);
    EXPECT_STREQ(error.GetMessageW(), L"main");

    const CRKError copy(error);
    error.reset();
    EXPECT_EQ(error.what(), 0);
    EXPECT_EQ(error.whatEx(), 0);
    EXPECT_STREQ(error.GetMessageW(), L"");
    EXPECT_STREQ(error.GetMessageEx(), L"");
    EXPECT_EQ(copy.whatEx(), 7);
    EXPECT_STREQ(copy.GetMessageEx(), L"caf\u00E9");
}

TEST(ErrorRecord, RaiseThrowsACopy) {
    CRKError error(RKERR_PERFORM, 6);
    error.SetMessageEx(std::wstring(L"detail"));
    try {
        error.raise();
        FAIL() << "raise returned";
    } catch (const CRKError& thrown) {
        EXPECT_EQ(thrown.what(), 2509);
        EXPECT_EQ(thrown.whatEx(), 6);
        EXPECT_STREQ(thrown.GetMessageEx(), L"detail");
    }
}

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::wstring wide;
};

TEST(TextConversion, WellFormedTextRoundTrips) {
    const Utf8Case cases[] = {
        {"empty", "", L""},
        {"latin", "caf\xC3\xA9", L"caf\u00E9"},
        {"ten three-byte characters", Repeat("\xE2\x82\xAC", 10), std::wstring(10, L'\u20AC')},
        {"outside the basic plane", "\xF0\x9F\x98\x80", L"\U0001F600"},
    };
    for (const Utf8Case& c : cases) {
        EXPECT_EQ(NarStrToWideStr(c.utf8), c.wide) << c.name;
        EXPECT_EQ(WideStrToNarStr(c.wide), c.utf8) << c.name;
    }
    EXPECT_EQ(WideStrToNarStr(std::wstring(10, L'\u20AC')).size(), 30u);
}

TEST(TextConversion, StopsAtTheFirstZero) {
    EXPECT_EQ(NarStrToWideStr(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(WideStrToNarStr(std::wstring(L"ab\0cd", 5)), "ab");
}

TEST(TextConversion, MalformedInputBecomesReplacementCharacters) {
    const Utf8Case cases[] = {
        {"truncated three-byte sequence", "a\xE2\x82", L"a\uFFFD"},
        {"two stray continuation bytes", "\x80\x80", L"\uFFFD\uFFFD"},
        {"truncated four-byte sequence before ASCII", "\xF0\x9F\x98" "A", L"\uFFFDA"},
        {"encoded surrogate", "\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},
        {"overlong slash", "\xC0\xAF", L"\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"invalid lead", "\xFF" "b", L"\uFFFDb"},
    };
    for (const Utf8Case& c : cases) EXPECT_EQ(NarStrToWideStr(c.utf8), c.wide) << c.name;

    const std::wstring badWide = {static_cast<wchar_t>(0xD800), L'x', static_cast<wchar_t>(0x110000)};
    EXPECT_EQ(WideStrToNarStr(badWide), "\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST(WindowsRecords, SystemTimeToFileTimeOfKnownDates) {
    SYSTEMTIME st{2024, 11, 0, 30, 0, 0, 0, 0};
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    const unsigned long long ticks = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    EXPECT_EQ(ticks, 133773984000000000ULL);

    SYSTEMTIME back{};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    EXPECT_EQ(back.wYear, 2024);
    EXPECT_EQ(back.wMonth, 11);
    EXPECT_EQ(back.wDay, 30);
    EXPECT_EQ(back.wDayOfWeek, 6);  // a Saturday

    SYSTEMTIME epoch{1601, 1, 0, 1, 0, 0, 0, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&epoch, &ft));
    EXPECT_EQ(ft.dwLowDateTime | ft.dwHighDateTime, 0u);
}

TEST(WindowsRecords, SystemTimeToFileTimeRefusesImpossibleReadings) {
    const SYSTEMTIME impossible[] = {
        {2023, 2, 0, 29, 0, 0, 0, 0},   // February 29 of a common year
        {2024, 4, 0, 31, 0, 0, 0, 0},   // April 31
        {2024, 13, 0, 1, 0, 0, 0, 0},   // month 13
        {2024, 1, 0, 1, 24, 0, 0, 0},   // hour 24
        {1600, 12, 0, 31, 0, 0, 0, 0},  // before 1601
    };
    for (const SYSTEMTIME& st : impossible) {
        FILETIME ft{1, 2};
        EXPECT_FALSE(SystemTimeToFileTime(&st, &ft)) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
        EXPECT_EQ(ft.dwLowDateTime, 1u);
    }
    const SYSTEMTIME leap{2024, 2, 0, 29, 23, 59, 59, 999};
    FILETIME ft{};
    EXPECT_TRUE(SystemTimeToFileTime(&leap, &ft));
}

TEST(WindowsRecords, RuntimeBreakdownsRefuseTimesBefore1970) {
    const __time64_t before = -1;
    const __time64_t known = 1772409600;  // 2026-03-02T00:00:00Z
    EXPECT_EQ(_gmtime64(&before), nullptr);
    EXPECT_EQ(_localtime64(&before), nullptr);
    const std::tm* t = _gmtime64(&known);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->tm_year + 1900, 2026);
    EXPECT_EQ(t->tm_mon, 2);
    EXPECT_EQ(t->tm_mday, 2);
    EXPECT_GT(_time64(nullptr), known);
}

TEST(WindowsRecords, WideOpenReachesTheFileSystemAsUtf8) {
    const std::wstring wide = L"/tmp/rkcurl-wfopen-\u00E9\U0001F600.txt";
    std::FILE* out = _wfopen(wide.c_str(), L"wb");
    ASSERT_NE(out, nullptr);
    std::fclose(out);
    const std::string narrow = "/tmp/rkcurl-wfopen-\xC3\xA9\xF0\x9F\x98\x80.txt";
    EXPECT_EQ(std::remove(narrow.c_str()), 0);
}
