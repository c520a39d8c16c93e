// Listing enumeration against prepared LIST replies of all four line forms.
#include <gtest/gtest.h>

#include <ctime>

#include "FtpFixture.h"
#include "ftp/FindRecord.h"
#include "ftp/listing/ListingDates.h"

using rktest::LogCapture;

namespace {

std::uint64_t Ticks(const FILETIME& t) {
    return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}

std::uint64_t ReadingTicks(int year, int month, int day, int hour, int minute) {
    SYSTEMTIME reading{};
    reading.wYear = static_cast<WORD>(year);
    reading.wMonth = static_cast<WORD>(month);
    reading.wDay = static_cast<WORD>(day);
    reading.wHour = static_cast<WORD>(hour);
    reading.wMinute = static_cast<WORD>(minute);
    FILETIME t{};
    EXPECT_TRUE(SystemTimeToFileTime(&reading, &t));
    return Ticks(t);
}

std::uint64_t LocalTicks(std::int64_t instant) {
    const std::time_t t = static_cast<std::time_t>(instant);
    std::tm local{};
    localtime_r(&t, &local);
    SYSTEMTIME reading{};
    reading.wYear = static_cast<WORD>(local.tm_year + 1900);
    reading.wMonth = static_cast<WORD>(local.tm_mon + 1);
    reading.wDay = static_cast<WORD>(local.tm_mday);
    reading.wHour = static_cast<WORD>(local.tm_hour);
    reading.wMinute = static_cast<WORD>(local.tm_min);
    reading.wSecond = static_cast<WORD>(local.tm_sec);
    FILETIME f{};
    SystemTimeToFileTime(&reading, &f);
    return Ticks(f);
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
    LogCapture log;
    ASSERT_EQ(List(ftp, listing, data), 0);
    EXPECT_EQ(rktest::Wide(ftp.m_href), rktest::Wide(remote + "/"));
    EXPECT_EQ(std::wstring(data.cFileName), L"archive");
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(data.nFileSizeLow, 4096u);
    EXPECT_EQ(Ticks(data.ftLastWriteTime), 133773984000000000u);
    EXPECT_EQ(Ticks(data.ftCreationTime) + Ticks(data.ftLastAccessTime) + data.nFileSizeHigh, 0u);
    EXPECT_TRUE(ftp.Response().empty());
    EXPECT_TRUE(FailureCodes(log).empty());

    ASSERT_EQ(ftp.FindNextFileW(data), 0);
    EXPECT_EQ(std::wstring(data.cFileName), L"notes.txt");
    EXPECT_EQ(data.dwFileAttributes, 0u);
    EXPECT_EQ(data.nFileSizeLow, 4821u);
    const std::int64_t guessed = rklisting::GuessDateSeconds(2, 2);  // March 2 of the guessed year
    std::time_t at = static_cast<std::time_t>(guessed);
    std::tm day{};
    gmtime_r(&at, &day);
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
        "12-31-99  12:05AM              1048576 backup.zip\r\n"
        "03-09-69  01:00AM              5 sixties.txt\r\n"
        "lrwxrwxrwx   1 u g 7 Nov 30  2024 link -> target\r\n"
        "crw-r--r--   1 u g 7 Nov 30  2024 device\r\n"
        "drwxr-xr-x   2 u g 4096 Nov 30  2024 .\r\n"
        "drwxr-xr-x   2 u g 4096 Nov 30  2024 ..\r\n";
    struct Expected {
        const wchar_t* name;
        DWORD attributes;
        DWORD size;
        std::uint64_t time;
    };
    const Expected expected[] = {
        {L"readme.txt", 0, 2048, LocalTicks(1767225600)},
        {L"epl-dir", FILE_ATTRIBUTE_DIRECTORY, 0, 0},  // no time fact: 0
        {L"LOGS", FILE_ATTRIBUTE_DIRECTORY, 0, ReadingTicks(2026, 1, 5, 17, 20)},
        {L"Old Reports", FILE_ATTRIBUTE_DIRECTORY, 0, ReadingTicks(2026, 3, 9, 16, 30)},
        {L"backup.zip", 0, 1048576, ReadingTicks(1999, 12, 31, 0, 5)},
        {L"sixties.txt", 0, 5, ReadingTicks(1969, 3, 9, 1, 0)},  // before 1970, kept
        {L"link", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 7,
         ReadingTicks(2024, 11, 30, 0, 0)},
        {L"device", 0, 7, ReadingTicks(2024, 11, 30, 0, 0)},
        {L".", FILE_ATTRIBUTE_DIRECTORY, 4096, ReadingTicks(2024, 11, 30, 0, 0)},
        {L"..", FILE_ATTRIBUTE_DIRECTORY, 4096, ReadingTicks(2024, 11, 30, 0, 0)},
    };
    TestFtp ftp;
    WIN32_FIND_DATAW data;
    ASSERT_EQ(List(ftp, listing, data), 0);
    ASSERT_EQ(ftp.m_findData.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        if (i > 0) {
            ASSERT_EQ(ftp.FindNextFileW(data), 0);
        }
        SCOPED_TRACE(testing::Message() << "entry " << i);
        EXPECT_EQ(std::wstring(data.cFileName), expected[i].name);
        EXPECT_EQ(data.dwFileAttributes, expected[i].attributes);
        EXPECT_EQ(data.nFileSizeLow, expected[i].size);
        EXPECT_EQ(Ticks(data.ftLastWriteTime), expected[i].time);
    }
}

TEST_F(EnumerationTest, NoAcceptedLine) {
    // A summary line alone, then an unfinished line alone: -1 and nothing recorded. On this
    // platform libcurl delivers LF line ends, so a CR LF and an LF listing read alike.
    for (const std::string listing :
         {"total 0\r\n", "-rw-r--r-- 1 u g 5 Mar  2 09:15 x", "", "garbage\nmore garbage\n"}) {
        SCOPED_TRACE(listing);
        TestFtp ftp;
        ftp.m_findData.resize(3);
        ftp.m_findIndex = 2;
        WIN32_FIND_DATAW data;
        data.cFileName[0] = L'#';
        LogCapture log;
        EXPECT_EQ(List(ftp, listing, data), -1);
        EXPECT_TRUE(ftp.m_findData.empty());
        EXPECT_EQ(ftp.m_findIndex, 0u);
        EXPECT_EQ(data.cFileName[0], L'#');
        EXPECT_EQ(ftp.Validate(), 0);
        EXPECT_TRUE(FailureCodes(log).empty());
        EXPECT_EQ(ftp.FindNextFileW(data), -1);
    }
    TestFtp ftp;
    WIN32_FIND_DATAW data;
    EXPECT_EQ(List(ftp, "-rw-r--r-- 1 u g 5 Mar  2 09:15 x\n", data), 0);
}

TEST_F(EnumerationTest, NamesThatDoNotFitAreNotHandedOut) {
    const std::string fits(259, 'a');
    const std::string tooLong(260, 'b');
    const std::string wideFits(129, '\xC3');  // 129 two-byte characters: fits
    std::string accented;
    for (int i = 0; i < 259; ++i) accented += "\xC3\xA9";  // 259 characters, 518 bytes
    const std::string listing =
        "-rw-r--r-- 1 u g 1 Nov 30  2024 " + fits + "\r\n" + "-rw-r--r-- 1 u g 1 Nov 30  2024 " +
        tooLong + "\r\n" + "-rw-r--r-- 1 u g 1 Nov 30  2024 " + accented + "\r\n" +
        std::string("-rw-r--r-- 1 u g 1 Nov 30  2024 nul\0byte", 40) + "\r\n";
    TestFtp ftp;
    WIN32_FIND_DATAW data;
    ASSERT_EQ(List(ftp, listing, data), 0);
    ASSERT_EQ(ftp.m_findData.size(), 2u);
    EXPECT_EQ(std::wstring(ftp.m_findData[0].cFileName), rktest::Wide(fits));
    EXPECT_EQ(std::wstring(ftp.m_findData[1].cFileName), std::wstring(259, L'\u00E9'));
    (void)wideFits;
}

TEST_F(EnumerationTest, ListingsReplaceEachOtherOnlyWhenFetched) {
    TestFtp ftp;
    WIN32_FIND_DATAW data;
    ASSERT_EQ(
        List(ftp, "-rw-r--r-- 1 u g 1 Nov 30  2024 a\r\n-rw-r--r-- 1 u g 1 Nov 30  2024 b\r\n",
             data),
        0);
    ASSERT_EQ(
        List(ftp, "-rw-r--r-- 1 u g 1 Nov 30  2024 c\r\n-rw-r--r-- 1 u g 1 Nov 30  2024 d\r\n",
             data),
        0);
    ASSERT_EQ(ftp.FindNextFileW(data), 0);
    EXPECT_EQ(std::wstring(data.cFileName), L"d");

    // A listing transfer that fails keeps the previous records and position.
    ftp.SetHREF(rktest::Wide(remote + "/missing").c_str());
    LogCapture log;
    EXPECT_EQ(ftp.FindFirstFileW(data), 2517);
    EXPECT_EQ(FailureCodes(log), (std::vector<int>{2509, 2517}));
    EXPECT_EQ(rktest::Wide(ftp.m_href), rktest::Wide(remote + "/missing/"));
    EXPECT_EQ(ftp.m_findData.size(), 2u);
    EXPECT_EQ(ftp.m_findIndex, 1u);
    EXPECT_EQ(log.Traces().front(), ">CRFTP::FindFirstFileW");
}

TEST_F(EnumerationTest, ServerDropsTheConnectionInTheMiddleOfAListing) {
    TestFtp ftp;
    WIN32_FIND_DATAW data;
    ASSERT_EQ(List(ftp, "-rw-r--r-- 1 u g 1 Nov 30  2024 kept\r\n", data), 0);
    rktest::MakeDirs(local + "/dropping");
    server.ScriptDrop(remote + "/dropping",
                      "-rw-r--r-- 1 u g 1 Nov 30  2024 x1\r\n-rw-r--r-- 1 u g 1 Nov 30  2024 x2\r\n"
                      "-rw-r--r-- 1 u g 1 Nov");
    ftp.SetHREF(rktest::Wide(remote + "/dropping").c_str());
    LogCapture log;
    EXPECT_EQ(ftp.FindFirstFileW(data), 2517);
    EXPECT_EQ(FailureCodes(log), (std::vector<int>{2509, 2517}));
    EXPECT_NE(ftp.m_error.whatEx(), 0);
    EXPECT_EQ(ftp.m_error.whatEx(), ftp.m_lastCurlCode);
    ASSERT_EQ(ftp.m_findData.size(), 1u);
    EXPECT_EQ(std::wstring(ftp.m_findData[0].cFileName), L"kept");
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
