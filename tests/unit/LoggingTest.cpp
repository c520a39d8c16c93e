// The logging stand-in: record kinds, the sink, and the Windows meaning of %s in wide formats.
#include <gtest/gtest.h>

#include "LogCapture.h"

using LOGGER::LogKind;

TEST(Logging, WideFormatsReadSAsWideAndCapitalSAsNarrow) {
    rktest::LogCapture capture;
    LOGGER::g_RKLog.Log(L"Error Code : %d -- %s", 2509, L"caf\u00E9");
    LOGGER::g_RKLog.Log(L"[%S] [%hs] [%ls] [%5.2s] [%%] [%I64d]", "narrow", "h", L"wide", L"abc",
                        static_cast<long long>(1) << 40);
    LOGGER::g_RKLog.Log("Extended Error %d : %s", 6, "text\nmore");
    LOGGER::g_RKLog.Log(L"Error Code : %d -- %s", 2505, L"");
    EXPECT_EQ(capture.Failures(),
              (std::vector<std::string>{"M|Error Code : 2509 -- caf\xC3\xA9",
                                        "M|[narrow] [h] [wide] [   ab] [%] [1099511627776]",
                                        "M|Extended Error 6 : text\nmore",
                                        "M|Error Code : 2505 -- "}));
}

TEST(Logging, LongWideMessagesAreNotCut) {
    rktest::LogCapture capture;
    const std::wstring longText(5000, L'x');
    LOGGER::g_RKLog.Log(L"%s!", longText.c_str());
    ASSERT_EQ(capture.Records().size(), 1u);
    EXPECT_EQ(capture.Records()[0].text, std::string(5000, 'x') + "!");
}

TEST(Logging, RecordsCarryKindSeverityFileAndLine) {
    rktest::LogCapture capture;
    {
        LOGGER::CRKFuncLog trace(LOGGER::g_RKLog, "CRFTP::Connect", nullptr);
        EXPECT_EQ(LOGGER::g_RKLog.WriteLog("Curl", LOGGER::SEV_WARNING, "HTTP", 86, nullptr), 0);
    }
    const auto records = capture.Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].kind, LogKind::Enter);
    EXPECT_EQ(records[0].text, "CRFTP::Connect");
    EXPECT_EQ(records[1].kind, LogKind::Write);
    EXPECT_EQ(records[1].severity, 2);
    EXPECT_EQ(records[1].file, "HTTP");
    EXPECT_EQ(records[1].line, 86);
    EXPECT_EQ(records[2].kind, LogKind::Exit);
}

TEST(Logging, WithoutASinkRecordsAreDropped) {
    std::vector<std::string> seen;
    {
        rktest::LogCapture capture;
        LOGGER::g_RKLog.WriteLog("kept", LOGGER::SEV_ERROR, "f", 1, nullptr);
        seen = capture.Failures();
    }
    LOGGER::g_RKLog.WriteLog("dropped", LOGGER::SEV_ERROR, "f", 1, nullptr);
    LOGGER::g_RKLog.Log(L"%s", L"dropped");
    EXPECT_EQ(seen, std::vector<std::string>{"W|kept|3|f|1"});
}
