// libcurl's global initialisation runs once per process: this executable holds only this test.
#include <gtest/gtest.h>

#include "CurlInterposer.h"
#include "LogCapture.h"
#include "TestConnection.h"

using rktest::CurlInterposer;

TEST(GlobalInit, FailureIsReportedByTheFirstPreparationOnly) {
    CurlInterposer::Reset();
    CurlInterposer::FailGlobalInit(CURLE_FAILED_INIT);
    rktest::LogCapture capture;

    TestConnection first;
    EXPECT_EQ(first.Prepare(L"ftp://"), 2504);
    EXPECT_EQ(CurlInterposer::EasyInitCalls(), 0);
    EXPECT_EQ(
        capture.Failures(),
        (std::vector<std::string>{
            "W|Error while initializing network library|3|Connection|29",
            "W|Error Code : Error Desc|3|Connection|253", "M|Error Code : 2504 -- ",
            std::string("M|Extended Error 2 : ") + curl_easy_strerror(CURLE_FAILED_INIT) + "\n"}));

    TestConnection second;
    EXPECT_EQ(second.Prepare(L"ftp://"), 0);
    EXPECT_EQ(first.Prepare(L"ftp://"), 0);
    EXPECT_EQ(CurlInterposer::GlobalInitCalls(), 1);
}
