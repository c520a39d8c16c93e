// Listing enumeration against prepared LIST replies of all four line forms.
#include <gtest/gtest.h>

#include <ctime>

#include "TestFtp.h"
#include "ftp/FindRecord.h"
#include "ftp/listing/ListingDates.h"

namespace {

std::uint64_t Ticks(const FILETIME& t) {
    return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}

// The FILETIME of a calendar reading, taken with no time zone.
std::uint64_t ReadingTicks(int year, int month, int day, int hour, int minute, int second = 0) {
    SYSTEMTIME reading{};
    reading.wYear = static_cast<WORD>(year);
    reading.wMonth = static_cast<WORD>(month);
    reading.wDay = static_cast<WORD>(day);
    reading.wHour = static_cast<WORD>(hour);
    reading.wMinute = static_cast<WORD>(minute);
    reading.wSecond = static_cast<WORD>(second);
    FILETIME t{};
    EXPECT_TRUE(SystemTimeToFileTime(&reading, &t));
    return Ticks(t);
}

// The local wall-clock reading of an instant.
std::uint64_t LocalTicks(std::time_t instant) {
    std::tm t{};
    localtime_r(&instant, &t);
    return ReadingTicks(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

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
    EXPECT_EQ(std::wstring(data.cFileName), L"archive");
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(data.nFileSizeLow, 4096u);
    EXPECT_EQ(Ticks(data.ftLastWriteTime), 133773984000000000u);
    EXPECT_EQ(Ticks(data.ftCreationTime) + Ticks(data.ftLastAccessTime) + data.nFileSizeHigh, 0u);
    EXPECT_TRUE(ftp.Response().empty());

    ASSERT_EQ(ftp.FindNextFileW(data), 0);
    EXPECT_EQ(std::wstring(data.cFileName), L"notes.txt");
    EXPECT_EQ(data.dwFileAttributes, 0u);
    EXPECT_EQ(data.nFileSizeLow, 4821u);
    const std::time_t guessed = rklisting::GuessDateSeconds(2, 2);  // March 2, guessed year
    std::tm day{};
    gmtime_r(&guessed, &day);
    EXPECT_EQ(Ticks(data.ftLastWriteTime), ReadingTicks(day.tm_year + 1900, 3, 2, 9, 15));
    EXPECT_EQ(ftp.FindNextFileW(data), -1);
    EXPECT_EQ(ftp.FindNextFileW(data), -1);
    EXPECT_EQ(ftp.m_findIndex, 1u);
    EXPECT_EQ(std::wstring(data.cFileName), L"notes.txt");  // untouched at the end
}

TEST_F(EnumerationTest, AllFourFormsBecomeRecords) {
    const std::string listing =
        "+i9872342.32142,m1767225600,r,s2048,\treadme.txt\r\n"
        "+i1.2,/,\tepl-dir\r\n"
        "LOGS.DIR;1            1  5-JAN-2026 17:20 [STAFF] (RWE,RWE,RE,RE)\r\n"
        "03-09-26  04:30PM       <DIR>          Old Reports\r\n"
        "03-09-69  01:00AM              5 sixties.txt\r\n"
        "lrwxrwxrwx   1 u g 7 Nov 30  2024 link -> target\r\n"
        "crw-r--r--   1 u g 7 Nov 30  2024 device\r\n" +
        DirLine(".") + DirLine("..");
    const std::uint64_t nov30 = ReadingTicks(2024, 11, 30, 0, 0);
    const struct {
        const wchar_t* name;
        DWORD attributes;
        DWORD size;
        std::uint64_t time;
    } expected[] = {
        {L"readme.txt", 0, 2048, LocalTicks(1767225600)},
        {L"epl-dir", FILE_ATTRIBUTE_DIRECTORY, 0, 0},  // no time fact: 0
        {L"LOGS", FILE_ATTRIBUTE_DIRECTORY, 0, ReadingTicks(2026, 1, 5, 17, 20)},
        {L"Old Reports", FILE_ATTRIBUTE_DIRECTORY, 0, ReadingTicks(2026, 3, 9, 16, 30)},
        {L"sixties.txt", 0, 5, ReadingTicks(1969, 3, 9, 1, 0)},  // before 1970, kept
        {L"link", FILE_ATTRIBUTE_DIRECTORY, 7, nov30},           // and FindEntryIsLink
        {L"device", 0, 7, nov30},
        {L".", FILE_ATTRIBUTE_DIRECTORY, 4096, nov30},
        {L"..", FILE_ATTRIBUTE_DIRECTORY, 4096, nov30},
    };
    TestFtp ftp;
    WIN32_FIND_DATAW data;
    ASSERT_EQ(List(ftp, listing, data), 0);
    ASSERT_EQ(ftp.m_findData.size(), std::size(expected));
    for (const auto& e : expected) {
        SCOPED_TRACE(testing::Message() << "entry " << ftp.m_findIndex);
        EXPECT_EQ(std::wstring(data.cFileName), e.name);
        EXPECT_EQ(data.dwFileAttributes, e.attributes);
        EXPECT_EQ(data.nFileSizeLow, e.size);
        EXPECT_EQ(Ticks(data.ftLastWriteTime), e.time);
        EXPECT_EQ(ftp.FindEntryIsLink(), std::wstring(e.name) == L"link");
        ftp.FindNextFileW(data);
    }
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

// 259 characters fit (also as 518 bytes of UTF-8), 260 do not; a zero byte cuts the name.
TEST_F(EnumerationTest, NamesThatDoNotFitAreNotHandedOut) {
    std::string accented;
    for (int i = 0; i < 259; ++i) accented += "\xC3\xA9";
    const std::string listing = FileLine(std::string(259, 'a')) + FileLine(std::string(260, 'b')) +
                                FileLine(accented) + FileLine(std::string("nul\0byte", 8));
    TestFtp ftp;
    WIN32_FIND_DATAW data;
    ASSERT_EQ(List(ftp, listing, data), 0);
    ASSERT_EQ(ftp.Names(), (std::vector<std::wstring>{std::wstring(259, L'a'),
                                                      std::wstring(259, L'\u00E9'), L"nul"}));
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
        EXPECT_EQ(ftp.m_error.whatEx(), ftp.m_lastCurlCode);
        EXPECT_NE(ftp.m_lastCurlCode, 0);
        EXPECT_EQ(ftp.Href(), rktest::Wide(remote + dir + "/"));
        EXPECT_EQ(ftp.m_findData.size(), 2u);
        EXPECT_EQ(ftp.m_findIndex, 1u);
        EXPECT_EQ(std::wstring(data.cFileName), L"d");
    }
}

TEST(FindRecordTest, TimesThatTheRuntimeRefuses) {
    using rkcurl::ftp::ListingTimeToFileTime;
    EXPECT_EQ(Ticks(ListingTimeToFileTime(rklisting::TimeUnknown, 12345)), 0u);
    EXPECT_EQ(Ticks(ListingTimeToFileTime(rklisting::TimeAbsolute, -1)), 0u);
    EXPECT_EQ(Ticks(ListingTimeToFileTime(rklisting::TimeServerDate, -86400)),
              ReadingTicks(1969, 12, 31, 0, 0));
    EXPECT_EQ(Ticks(ListingTimeToFileTime(rklisting::TimeServerClock, 0)), 116444736000000000u);
}

}  // namespace
