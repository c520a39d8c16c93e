// Listing enumeration against prepared LIST replies of all four line forms.
#include <gtest/gtest.h>

#include "TestFtp.h"
#include "ftp/FindRecord.h"
#include "ftp/listing/ListingDates.h"

namespace {

class EnumerationTest : public PyFtpTest {
protected:
    // Serves listing as this test's directory and lists it.
    int List(TestFtp& ftp, const std::string& listing, WIN32_FIND_DATAW& first) {
        server.ScriptListing(remote, listing);
        ftp.SetServer(server.HostPort().c_str());
        ftp.SetHREF(rktest::Wide(remote).c_str());
        return ftp.FindFirstFileW(first);
    }
};

TEST_F(EnumerationTest, WorkedExample) {
    const std::string listing =
        "total 12\r\n"
        "drwxr-xr-x   2 user group     4096 Nov 30  2024 archive\r\n"
        "-rw-r--r--   1 user group     4821 Mar  2 09:15 notes.txt\r\n"
        "-rw-r--r--   1 user group        1 Mar  2 09:15 unfinished.txt";
    TestFtp ftp;
    WIN32_FIND_DATAW data;
    EXPECT_EQ(Outcome([&] { return List(ftp, listing, data); }), Codes{0});
    EXPECT_EQ(ftp.Href(), rktest::Wide(remote + "/"));
    EXPECT_EQ(Ticks(data.ftCreationTime) + Ticks(data.ftLastAccessTime) + data.nFileSizeHigh, 0u);
    EXPECT_TRUE(ftp.Response().empty());
    const std::int64_t march2 = rklisting::GuessDateSeconds(2, 2);  // of the guessed year
    EXPECT_EQ(RowsFrom(ftp, data),
              (Rows{{L"archive", FILE_ATTRIBUTE_DIRECTORY, 4096, 133773984000000000u, false},
                    {L"notes.txt", 0, 4821, UnixTicks(march2 + 9 * 3600 + 15 * 60), false}}));
    EXPECT_EQ(ftp.FindNextFileW(data), -1);
    EXPECT_EQ(ftp.m_findIndex, 1u);
    EXPECT_EQ(std::wstring(data.cFileName), L"notes.txt");  // untouched at the end
}

// A summary line alone, an unfinished line alone, nothing, garbage: -1 and nothing recorded.
// On this platform libcurl delivers LF line ends, so a CR LF and an LF listing read alike.
TEST_F(EnumerationTest, NoAcceptedLine) {
    for (const std::string listing :
         {"total 0\r\n", "-rw-r--r-- 1 u g 5 Mar  2 09:15 x", "", "garbage\nmore garbage\n"}) {
        SCOPED_TRACE(listing);
        TestFtp ftp;
        ftp.m_findData.resize(3);
        ftp.m_findIndex = 2;
        WIN32_FIND_DATAW data;
        data.cFileName[0] = L'#';
        EXPECT_EQ(Outcome([&] { return List(ftp, listing, data); }), Codes{-1});
        EXPECT_TRUE(ftp.m_findData.empty());
        EXPECT_EQ(ftp.m_findIndex, 0u);
        EXPECT_EQ(data.cFileName[0], L'#');
        EXPECT_EQ(ftp.Validate(), 0);
        EXPECT_EQ(ftp.FindNextFileW(data), -1);
    }
    TestFtp ftp;
    WIN32_FIND_DATAW data;
    EXPECT_EQ(List(ftp, "-rw-r--r-- 1 u g 5 Mar  2 09:15 x\n", data), 0);
}

// Lines that give no record are kept, raw and in order, until the next listing replaces
// them; a copy carries them. A name of 259 characters fits (also as 518 bytes of UTF-8), one
// of 260 does not; a zero byte cuts a name. Sizes of 2^32 and more fill the high part.
TEST_F(EnumerationTest, RejectedLinesNamesAndLargeSizes) {
    std::string accented;
    for (int i = 0; i < 259; ++i) accented += "\xC3\xA9";
    const std::string tooLong = FileLine(std::string(260, 'b'));
    const std::string listing = "total 12\r\n" + FileLine(std::string(259, 'a')) +
                                "garbage here\r\n" + tooLong + FileLine(accented) +
                                FileLine(std::string("nul\0byte", 8)) +
                                "-rw-r--r-- 1 u g 5368709120 Nov 30  2024 unix.iso\r\n"
                                "03-02-26  09:15AM           6442450944 dos.iso\r\n"
                                "+s4294967296,r,\tep.iso\r\n"
                                "\r\n"
                                "-rw-r--r-- 1 u g 1 Nov 30  2024 unfinished";
    TestFtp ftp;
    EXPECT_TRUE(ftp.FindRejectedLines().empty());
    WIN32_FIND_DATAW data;
    ASSERT_EQ(List(ftp, listing, data), 0);
    const Lines rejected{"total 12", "garbage here", tooLong.substr(0, tooLong.size() - 2), "",
                         "-rw-r--r-- 1 u g 1 Nov 30  2024 unfinished"};
    EXPECT_EQ(ftp.FindRejectedLines(), rejected);
    std::vector<std::pair<std::wstring, std::uint64_t>> sizes;
    for (const Row& row : RowsFrom(ftp, data))
        sizes.emplace_back(std::get<0>(row), std::get<2>(row));
    EXPECT_EQ(sizes, (std::vector<std::pair<std::wstring, std::uint64_t>>{
                         {std::wstring(259, L'a'), 1},
                         {std::wstring(259, L'\u00E9'), 1},
                         {L"nul", 1},
                         {L"unix.iso", 5368709120},
                         {L"dos.iso", 6442450944},
                         {L"ep.iso", 4294967296}}));
    const TestFtp copy(ftp);
    EXPECT_EQ(copy.FindRejectedLines(), rejected);
    ASSERT_EQ(List(ftp, FileLine("only"), data), 0);
    EXPECT_TRUE(ftp.FindRejectedLines().empty());
    EXPECT_EQ(copy.FindRejectedLines(), rejected);
}

// A second listing replaces the first; a listing whose transfer fails (a missing directory, a
// connection dropped in the middle) keeps the previous records and position.
TEST_F(EnumerationTest, OnlyAFetchedListingReplacesTheRecords) {
    TestFtp ftp;
    WIN32_FIND_DATAW data;
    ASSERT_EQ(List(ftp, FileLine("a") + FileLine("b"), data), 0);
    ASSERT_EQ(List(ftp, FileLine("c") + FileLine("d"), data), 0);
    ASSERT_EQ(ftp.FindNextFileW(data), 0);
    EXPECT_EQ(std::wstring(data.cFileName), L"d");

    rktest::MakeDirs(local + "/dropping");
    server.ScriptDrop(remote + "/dropping", FileLine("x1") + FileLine("x2") + "-rw-r--r-- 1 u");
    for (const std::string dir : {"/missing", "/dropping"}) {
        SCOPED_TRACE(dir);
        ftp.SetHREF(rktest::Wide(remote + dir).c_str());
        rktest::LogCapture log;
        EXPECT_EQ(Outcome(ftp.FindFirstFileW(data), log), (Codes{2517, 2509, 2517}));
        EXPECT_EQ(log.Traces().front(), ">CRFTP::FindFirstFileW");
        EXPECT_NE(ftp.m_error.whatEx(), 0);
        EXPECT_EQ(ftp.Href(), rktest::Wide(remote + dir + "/"));
        EXPECT_EQ(ftp.m_findData.size(), 2u);
        EXPECT_EQ(ftp.m_findIndex, 1u);
    }
}

TEST(FindRecordTest, TimesThatTheRuntimeRefuses) {
    using rkcurl::ftp::ListingTimeToFileTime;
    EXPECT_EQ(Ticks(ListingTimeToFileTime(rklisting::TimeUnknown, 12345)), 0u);
    EXPECT_EQ(Ticks(ListingTimeToFileTime(rklisting::TimeAbsolute, -1)), 0u);
    EXPECT_EQ(Ticks(ListingTimeToFileTime(rklisting::TimeServerDate, -86400)), UnixTicks(-86400));
    EXPECT_EQ(Ticks(ListingTimeToFileTime(rklisting::TimeServerClock, 0)), 116444736000000000u);
}

}  // namespace
