// The listing command chosen by SetUseMlsd and SetListHidden, against pyftpdlib (MLSD, and
// prepared MLSD replies) and vsftpd (no MLSD; hides names starting with "." from plain LIST).
#include "TestFtp.h"
#include "ftp/FindRecord.h"
#include "ftp/listing/ListingDates.h"

namespace {

const Lines kListings{"MLSD", "LIST"};
using Names = std::vector<std::wstring>;

using ListingChoiceTest = PyFtpTest;

// Through MLSD: the current directory's line is no entry, a link is marked, a line may end in LF
// alone, and an instant converts to the client's local time.
TEST_F(ListingChoiceTest, MachineListingLines) {
    server.ScriptMachineListing(remote, "type=cdir;modify=20260302091500; " + remote +
                                            "\r\n"
                                            "Type=DIR;Modify=20241130000000.5; archive\r\n"
                                            "type=OS.unix=slink:/elsewhere;size=9; current\n"
                                            "garbage line\r\n");
    TestFtp ftp(&server, remote);
    ftp.SetUseMlsd(1);
    WIN32_FIND_DATAW data;
    ASSERT_EQ(ftp.FindFirstFileW(data), 0);
    const std::uint64_t archived = Ticks(rkcurl::ftp::ListingTimeToFileTime(
        rklisting::TimeAbsolute, 1732924800 + rklisting::s_timeBase.load()));
    EXPECT_EQ(RowsFrom(ftp, data), (Rows{{L"archive", FILE_ATTRIBUTE_DIRECTORY, 0, archived, false},
                                         {L"current", FILE_ATTRIBUTE_DIRECTORY, 9, 0, true}}));
    EXPECT_EQ(ftp.FindRejectedLines(), Lines{"garbage line"});
    EXPECT_TRUE(ftp.FindListingIsMachine());
}

// A refused MLSD: the listing's outcome, commands and kind, then the next listing's commands.
TEST_F(ListingChoiceTest, RefusedMachineListing) {
    const std::tuple<std::string, Codes, Lines, bool, Lines> cases[] = {
        {"500 Unknown command.", {0}, kListings, false, {"LIST"}},
        {"502 Not implemented.", {0}, kListings, false, {"LIST"}},
        {"550 Not allowed.", {0}, kListings, false, kListings},
        {"504 Not for this.", {0}, kListings, false, kListings},
        {"451 Local error.", {2517, 2509, 2517}, {"MLSD"}, false, {"MLSD"}},
        {"450 No files.", {-1}, {"MLSD"}, true, {"MLSD"}},  // libcurl: empty, as for LIST
    };
    rktest::WriteFile(local + "/f", "f");
    for (const auto& [reply, outcome, first, machine, second] : cases) {
        SCOPED_TRACE(reply);
        server.ScriptReply("MLSD", reply);
        TestFtp ftp(&server, remote);
        ftp.SetUseMlsd(1);
        server.ClearCommands();
        WIN32_FIND_DATAW data;
        EXPECT_EQ(Outcome([&] { return ftp.FindFirstFileW(data); }), outcome);
        EXPECT_EQ(Only(server.Commands(), kListings), first);
        EXPECT_EQ(ftp.FindListingIsMachine(), machine);
        server.ClearCommands();
        ftp.FindFirstFileW(data);
        EXPECT_EQ(Only(server.Commands(), kListings), second);
    }
}

// A remembered refusal ends with SetUseMlsd, and does not hold for another server.
TEST_F(ListingChoiceTest, RememberedRefusal) {
    server.ScriptReply("MLSD", "500 Unknown command.");
    TestFtp ftp(&server, remote);
    ftp.SetUseMlsd(1);
    const auto sent = [&] {  // the listing commands of one more listing
        server.ClearCommands();
        ftp.Names();
        return Only(server.Commands(), kListings);
    };
    EXPECT_EQ(sent(), kListings);
    EXPECT_EQ(sent(), Lines{"LIST"});
    ftp.SetUseMlsd(1);
    EXPECT_EQ(sent(), kListings);
    ftp.SetServer((L"localhost:" + std::to_wstring(server.Port())).c_str());
    EXPECT_EQ(sent(), kListings);
}

using VsftpdListingTest = VsftpdFixture<>;

// Over TLS, so that each of the walk's many requests secures its connection.
TEST_F(VsftpdListingTest, HiddenEntries) {
    Make(local, {".hidden", "shown", "tree/.dot", "tree/sub/.dot2", "tree/sub/x"});
    TestFtp ftp;
    Open(ftp, 1);
    ftp.SetListHidden(1);
    server->ClearCommands();
    EXPECT_EQ(ftp.Names(), (Names{L".", L"..", L".hidden", L"shown", L"tree"}));
    EXPECT_EQ(Only(server->Commands(), kListings), Lines{"LIST -a"});
    EXPECT_EQ(ftp.RemoveDirectoryTree(L"tree"), 0);
    EXPECT_FALSE(rktest::Exists(local + "/tree"));
}

}  // namespace
