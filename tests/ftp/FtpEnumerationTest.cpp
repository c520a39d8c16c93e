// Listing enumeration against prepared LIST replies of all four line forms.
#include "TestFtp.h"
#include "ftp/FindRecord.h"
#include "ftp/listing/ListingDates.h"

namespace {

using EnumerationTest = PyFtpTest;

// On this platform libcurl delivers LF line ends: a line ending in LF alone is read too. A size
// of 2^32 and more fills the high part.
TEST_F(EnumerationTest, WorkedExample) {
    const std::string listing =
        "total 12\r\n"
        "drwxr-xr-x   2 user group     4096 Nov 30  2024 archive\r\n"
        "-rw-r--r--   1 user group 5368709120 Mar  2 09:15 notes.txt\n";
    server.ScriptListing(remote, listing);
    TestFtp ftp(&server, remote);
    WIN32_FIND_DATAW data;
    EXPECT_EQ(Outcome([&] { return ftp.FindFirstFileW(data); }), Codes{0});
    EXPECT_EQ(Ticks(data.ftCreationTime) + Ticks(data.ftLastAccessTime) + data.nFileSizeHigh, 0u);
    EXPECT_TRUE(ftp.Response().empty());
    const std::int64_t march2 = rklisting::GuessDateSeconds(2, 2);  // of the guessed year
    EXPECT_EQ(RowsFrom(ftp, data),
              (Rows{{L"archive", FILE_ATTRIBUTE_DIRECTORY, 4096, 133773984000000000u, false},
                    {L"notes.txt", 0, 5368709120, UnixTicks(march2 + 9 * 3600 + 15 * 60), false}}));
    EXPECT_EQ(ftp.FindNextFileW(data), -1);
    EXPECT_EQ(ftp.m_findIndex, 1u);
    EXPECT_EQ(std::wstring(data.cFileName), L"notes.txt");  // untouched at the end
}

// Lines that give no record are kept, raw, until the next listing; a copy carries them. A name
// of 259 characters fits (also as 518 bytes of UTF-8), one of 260 does not.
TEST_F(EnumerationTest, RejectedLinesAndLongNames) {
    const std::string accented = oru::helper::WideStrToNarStr(std::wstring(259, L'\u00E9'));
    const std::string tooLong = FileLine(std::string(260, 'b'));
    const std::string listing = "total 12\r\n" + FileLine(std::string(259, 'a')) +
                                "garbage here\r\n" + tooLong + FileLine(accented) +
                                FileLine(std::string("nul\0byte", 8)) +
                                "\r\n"
                                "-rw-r--r-- 1 u g 1 Nov 30  2024 unfinished";
    server.ScriptListing(remote, listing);
    TestFtp ftp(&server, remote);
    WIN32_FIND_DATAW data;
    ASSERT_EQ(ftp.FindFirstFileW(data), 0);
    const Lines rejected{"total 12", "garbage here", tooLong.substr(0, tooLong.size() - 2), "",
                         "-rw-r--r-- 1 u g 1 Nov 30  2024 unfinished"};
    EXPECT_EQ(ftp.FindRejectedLines(), rejected);
    EXPECT_EQ(ftp.Names(), (std::vector<std::wstring>{std::wstring(259, L'a'),
                                                      std::wstring(259, L'\u00E9'), L"nul"}));
    const TestFtp copy(ftp);
    EXPECT_EQ(copy.FindRejectedLines(), rejected);
    server.ScriptListing(remote, FileLine("only"));
    ASSERT_EQ(ftp.FindFirstFileW(data), 0);
    EXPECT_TRUE(ftp.FindRejectedLines().empty());
    EXPECT_EQ(copy.FindRejectedLines(), rejected);
}

// A fetched listing replaces the records before it (a and b, at b), even with no accepted line
// (-1, no failure); one whose transfer fails keeps them and the position.
TEST_F(EnumerationTest, OnlyAFetchedListingReplacesTheRecords) {
    rktest::MakeDirs(local + "/dropping");
    server.ScriptDrop(remote + "/dropping", FileLine("x1") + FileLine("x2") + "-rw-r--r-- 1 u");
    const Codes kFailed{2517, 2509, 2517};
    const std::tuple<const char*, std::string, std::string, Codes> cases[] = {
        {"summary line alone", "", "total 0\r\n", {-1}},
        {"nothing", "", "", {-1}},
        {"missing directory", "/missing", "", kFailed},
        {"dropped", "/dropping", "", kFailed},
    };
    for (const auto& [name, dir, listing, outcome] : cases) {
        SCOPED_TRACE(name);
        server.ScriptListing(remote, FileLine("a") + FileLine("b"));
        TestFtp ftp(&server, remote);
        WIN32_FIND_DATAW data;
        ASSERT_EQ(ftp.FindFirstFileW(data), 0);
        ASSERT_EQ(ftp.FindNextFileW(data), 0);
        server.ScriptListing(remote, listing);
        ftp.SetHREF(rktest::Wide(remote + dir).c_str());
        rktest::LogCapture log;
        EXPECT_EQ(Outcome(ftp.FindFirstFileW(data), log), outcome);
        EXPECT_EQ(log.Traces().front(), ">CRFTP::FindFirstFileW");
        const bool kept = outcome == kFailed;
        EXPECT_EQ(ftp.Validate(), kept ? 2517 : 0);
        EXPECT_EQ(ftp.Href(), rktest::Wide(remote + dir + "/"));
        EXPECT_EQ(ftp.m_findData.size(), kept ? 2u : 0u);
        EXPECT_EQ(ftp.m_findIndex, kept ? 1u : 0u);
        EXPECT_EQ(std::wstring(data.cFileName), L"b");  // untouched
        EXPECT_EQ(ftp.FindNextFileW(data), -1);
    }
}

// Before 1970 the runtime refuses a reading: an instant has no time, a date converts directly.
TEST(FindRecordTest, TimesThatTheRuntimeRefuses) {
    using rkcurl::ftp::ListingTimeToFileTime;
    EXPECT_EQ(Ticks(ListingTimeToFileTime(rklisting::TimeAbsolute, -1)), 0u);
    EXPECT_EQ(Ticks(ListingTimeToFileTime(rklisting::TimeServerDate, -86400)), UnixTicks(-86400));
}

}  // namespace
