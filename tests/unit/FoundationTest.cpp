// The error record, the text conversions, the Windows stand-ins and the logging stand-in.
#include <gtest/gtest.h>

#include <string>

#include "LogCapture.h"
#include "RKCurl/RKCurl.h"
#include "platform/CRuntime.h"

using oru::helper::NarStrToWideStr;
using oru::helper::WideStrToNarStr;
using oru::shared::error::CRKError;

// Messages are cut after 1023 characters; a copy keeps codes and messages, reset clears them.
TEST(ErrorRecord, MessagesCodesCopiesResetAndRaise) {
    CRKError error;
    error.SetMessage(std::wstring(1023, L'x'));
    EXPECT_EQ(std::wstring(error.GetMessageW()), std::wstring(1023, L'x'));
    error.SetMessageEx(std::wstring(1023, L'y') + L"z");
    EXPECT_EQ(std::wstring(error.GetMessageEx()), std::wstring(1023, L'y'));
    error.SetMessage(L"main");
    error.SetMessageEx(std::string("caf\xC3\xA9"));
    error.setErrorCD(oru::shared::error::RKERR_SET_OPTION, 7);
    const CRKError copy(error);
    error.reset();
    EXPECT_EQ(error.what() + error.whatEx(), 0);
    EXPECT_EQ(std::wstring(error.GetMessageW()) + error.GetMessageEx(), L"");
    try {
        copy.raise();
        FAIL() << "raise returned";
    } catch (const CRKError& thrown) {
        // setErrorCD leaves the messages alone.
        EXPECT_EQ(std::to_wstring(thrown.what()) + L" " + std::to_wstring(thrown.whatEx()) + L" " +
                      thrown.GetMessageW() + L" " + thrown.GetMessageEx(),
                  L"2506 7 main caf\u00E9");
    }
}

TEST(TextConversion, Utf8AndWideText) {
    std::string euros;
    for (int i = 0; i < 10; ++i) euros += "\xE2\x82\xAC";  // ten 3-byte characters: 30 bytes
    const std::pair<std::string, std::wstring> cases[] = {
        {"", L""}, {euros, std::wstring(10, L'\u20AC')}, {"\xF0\x9F\x98\x80", L"\U0001F600"}};
    for (const auto& [utf8, wide] : cases) {
        EXPECT_EQ(NarStrToWideStr(utf8), wide) << utf8;
        EXPECT_EQ(WideStrToNarStr(wide), utf8) << utf8;
    }
    // Malformed input: one U+FFFD per maximal subpart; the first zero ends the text.
    const std::pair<std::string, std::wstring> malformed[] = {
        {"a\xE2\x82", L"a\uFFFD"},         // truncated three-byte sequence
        {"\x80\x80", L"\uFFFD\uFFFD"},     // stray continuation bytes
        {"\xF0\x9F\x98\x41", L"\uFFFDA"},  // truncated four-byte, then 'A'
// The system's conversion (Windows) groups these two its own way.
#if !defined(_WIN32)
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
#endif
        {"\xC0\xAF", L"\uFFFD\uFFFD"},  // overlong slash
        {"\xFF\x62", L"\uFFFDb"},       // invalid lead, then 'b'
        {std::string("ab\0cd", 5), L"ab"}
    };
    for (const auto& [utf8, wide] : malformed) EXPECT_EQ(NarStrToWideStr(utf8), wide) << utf8;

#if !defined(_WIN32)  // a value beyond U+10FFFF needs 32-bit wide text
    const std::wstring bad = {static_cast<wchar_t>(0xD800), L'x', static_cast<wchar_t>(0x110000)};
    EXPECT_EQ(WideStrToNarStr(bad), "\xEF\xBF\xBDx\xEF\xBF\xBD");
#endif
    EXPECT_EQ(WideStrToNarStr(std::wstring(L"ab\0cd", 5)), "ab");
}

TEST(WindowsRecords, SystemTimeToFileTimeRefusesImpossibleDates) {
    const SYSTEMTIME impossible[] = {
#if !defined(_WIN32)  // Wine's SystemTimeToFileTime takes February 29 of any year
        {2023, 2, 0, 29, 0, 0, 0, 0},
#endif
        {2024, 4, 0, 31, 0, 0, 0, 0},
        {2024, 13, 0, 1, 0, 0, 0, 0},
        {2024, 1, 0, 1, 24, 0, 0, 0},
        {1600, 12, 0, 31, 0, 0, 0, 0}
    };
    for (const SYSTEMTIME& st : impossible) {
        FILETIME untouched{1, 2};
        EXPECT_FALSE(SystemTimeToFileTime(&st, &untouched)) << st.wYear << "-" << st.wMonth;
        EXPECT_EQ(untouched.dwLowDateTime, 1u);
    }
}

TEST(Logging, WideFormatsReadSAsWideAndCapitalSAsNarrow) {
    rktest::LogCapture capture;
    LOGGER::g_RKLog.Log(L"Error Code : %d -- %s", 2509, L"caf\u00E9");
    LOGGER::g_RKLog.Log(L"[%S] [%hs] [%ls] [%5.2s] [%%] [%I64d]", "narrow", "h", L"wide", L"abc",
                        static_cast<long long>(1) << 40);
    LOGGER::g_RKLog.Log(L"%s!", std::wstring(5000, L'x').c_str());  // long messages are not cut
    EXPECT_EQ(capture.Failures(),
              (std::vector<std::string>{"M|Error Code : 2509 -- caf\xC3\xA9",
                                        "M|[narrow] [h] [wide] [   ab] [%] [1099511627776]",
                                        "M|" + std::string(5000, 'x') + "!"}));
}
