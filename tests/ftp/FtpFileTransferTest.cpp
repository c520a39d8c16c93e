// GetFileTo and the resumed PutFile against pyftpdlib: whole downloads that touch the local file
// only when complete, resumed downloads and uploads that continue partial files byte for byte.
#include <filesystem>

#include "TestFtp.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kSize = 200000;
// A name that URL text would cut or decode: it must reach the server as it is.
const std::string kName = "file #1 100%.bin";
const Codes kFailed{2517, 2509, 2517};

// Bytes of every value in no repeating order, so that a transfer from a wrong offset shows.
std::string Content() {
    std::string bytes(kSize, '\0');
    unsigned state = 12345;
    for (char& byte : bytes) byte = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
    return bytes;
}

// The test's remote file, as the HREF names it, and the local file that stands for it.
class FileTransferTest : public PyFtpTest {
protected:
    TestFtp Session() {
        TestFtp ftp(&server, remote + "/" + kName);
        server.ClearCommands();
        return ftp;
    }
    rktest::TempDir downloads;
    const std::string target = downloads.Path() + "/" + kName;
    const std::wstring wideTarget = rktest::Wide(target);
};

// A download replaces the local file only when complete (its permission bits kept); a resumed
// transfer continues from the target's size, and a target longer than its source stays as it was.
TEST_F(FileTransferTest, TransfersWholeAndResumed) {
    const std::string remoteBytes = Content();
    rktest::WriteFile(local + "/" + kName, remoteBytes);
    enum Call { kGet, kResumedGet, kPut, kResumedPut };
    enum Server { kServes, kDrops, kMissing };
    const std::string part = remoteBytes.substr(0, 70001);
    const Lines retr{"RETR " + kName};
    const long kNone = -1, kLonger = -2, kWhole = static_cast<long>(kSize);
    const struct {
        const char* name;
        Call call;
        long before;  // the target's bytes before the call (a prefix of the source's)
        Codes outcome;
        Lines transfer;  // the REST, RETR, STOR and APPE commands sent
        int extended;    // -1: whatever the drop gives
        Server server = kServes;
    } cases[] = {
        {"new file", kGet, kNone, {0}, retr, 0},
        {"existing file replaced", kGet, 40000, {0}, retr, 0},
        {"server drops mid-file", kGet, 40000, kFailed, retr, -1, kDrops},
        {"resumed, drops", kResumedGet, kNone, kFailed, retr, -1, kDrops},
        {"remote file missing", kGet, 40000, kFailed, {}, CURLE_REMOTE_FILE_NOT_FOUND, kMissing},
        {"partial local file", kResumedGet, 40000, {0}, {"REST 40000", retr[0]}, 0},
        {"already complete", kResumedGet, kWhole, {0}, {}, 0},
        {"local file longer", kResumedGet, kLonger, kFailed, {}, CURLE_BAD_DOWNLOAD_RESUME},
        {"partial remote file", kResumedPut, 40000, {0}, {"APPE " + kName}, 0},
        {"no remote file", kResumedPut, kNone, {0}, {"STOR " + kName}, 0},
        {"remote file complete", kResumedPut, kWhole, {0}, {}, 0},
        {"remote file longer", kResumedPut, kLonger, {2509, 2509}, {}, CURLE_FTP_COULDNT_USE_REST},
        {"upload without resume", kPut, 40000, {0}, {"STOR " + kName}, 0},
    };
    const rktest::TempDir sources;
    const std::string source = sources.Path() + "/source.bin";
    rktest::WriteFile(source, remoteBytes);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool upload = c.call >= kPut;
        const int resume = c.call == kResumedGet || c.call == kResumedPut;
        const std::string file = upload ? local + "/" + kName : target;
        fs::remove(file);
        const std::string before =
            c.before == kLonger ? remoteBytes + "extra.." : remoteBytes.substr(0, c.before);
        if (c.before != kNone) rktest::WriteFile(file, before);
        const bool readOnly = !upload && resume == 0 && c.before != kNone;
        if (readOnly) fs::permissions(target, fs::perms(0400));  // kept when replaced
        server.ClearScripts();
        if (c.server == kDrops) server.ScriptDrop(remote + "/" + kName, part);
        TestFtp ftp = Session();
        if (c.server == kMissing) ftp.SetHREF(rktest::Wide(remote + "/missing " + kName).c_str());

        rktest::LogCapture log;
        EXPECT_EQ(Outcome(upload ? ftp.PutFile(rktest::Wide(source).c_str(), resume)
                                 : ftp.GetFileTo(wideTarget.c_str(), resume),
                          log),
                  c.outcome);
        EXPECT_EQ(log.Traces().front(), upload ? ">CRFTP::PutFile" : ">CRFTP::GetFileTo");
        EXPECT_EQ(Only(server.Commands(), {"REST", "RETR", "STOR", "APPE"}), c.transfer);
        if (c.extended >= 0) {
            EXPECT_EQ(ftp.m_error.m_extendedCode, c.extended);
        }
        EXPECT_TRUE(ftp.Response().empty());  // the body never went through memory
        std::string after = c.outcome == Codes{0} ? remoteBytes : before;
        if (c.server == kDrops && resume) after = part;  // what arrived stays, to resume from
        EXPECT_EQ(rktest::ReadFile(file), after);
        if (readOnly) {
            EXPECT_EQ(fs::status(target).permissions(), fs::perms(0400));
        }
        // A left-behind temporary file shows beside the target.
        EXPECT_EQ(std::distance(fs::directory_iterator(downloads.Path()), {}), fs::exists(target));
    }
}

TEST_F(FileTransferTest, UnusableLocalPathIsRefusedBeforeAnythingIsSent) {
    const std::string dir = downloads.Path();
    const std::wstring paths[] = {rktest::Wide(dir), rktest::Wide(dir + "/missing/x")};
    for (int resume : {0, 1}) {
        for (const wchar_t* path :
             {static_cast<const wchar_t*>(nullptr), paths[0].c_str(), paths[1].c_str()}) {
            SCOPED_TRACE(std::to_string(resume) + " " +
                         (path ? oru::helper::WideStrToNarStr(path) : "null"));
            TestFtp ftp = Session();
            EXPECT_EQ(Outcome([&] { return ftp.GetFileTo(path, resume); }), (Codes{2507, 2507}));
            EXPECT_EQ(ftp.m_error.m_extendedCode, 0);
            EXPECT_TRUE(server.Commands().empty());
            EXPECT_TRUE(fs::is_empty(dir));
        }
    }
}

}  // namespace
