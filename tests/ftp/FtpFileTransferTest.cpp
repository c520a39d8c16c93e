// GetFileTo and the resumed PutFile against pyftpdlib: whole downloads that touch the local file
// only when complete, resumed downloads and uploads that continue partial files byte for byte.
#include <filesystem>

#include "TestFtp.h"

using rktest::CurlInterposer;
using rktest::LogCapture;

namespace {

constexpr std::size_t kSize = 200000;
// A name that URL text would cut or decode: it must reach the server as it is.
const std::string kName = "file #1 100%.bin";

// Bytes of every value, line ends and zeros included, in no repeating order that a cut hides.
std::string Content(std::size_t size) {
    std::string bytes(size, '\0');
    unsigned state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    return bytes;
}

// The names in a local directory, sorted: a left-behind temporary file shows here.
Lines Entries(const std::string& dir) {
    Lines names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

int StopAtOnce(void*, double, double, double, double) {
    return 1;
}

}  // namespace

class FileTransferTest : public PyFtpTest {
protected:
    void SetUp() override {
        PyFtpTest::SetUp();
        remoteBytes = Content(kSize);
        rktest::WriteFile(local + "/" + kName, remoteBytes);
        target = downloads.Path() + "/" + kName;
    }
    // A session whose HREF names the test's remote file.
    TestFtp Session() { return TestFtp(&server, remote + "/" + kName); }
    std::wstring Target() const { return rktest::Wide(target); }

    rktest::TempDir downloads;  // the client's side
    std::string remoteBytes;
    std::string target;
};

// A whole download touches the local file only when complete, and a replaced file keeps its
// permission bits; a resumed one that breaks off keeps what arrived.
TEST_F(FileTransferTest, DownloadReplacesTheLocalFileOnlyWhenComplete) {
    namespace fs = std::filesystem;
    enum Server { kServes, kDrops, kMissing, kStopped };
    const std::string part = remoteBytes.substr(0, 70001);
    const struct {
        const char* name;
        const char* before;  // the local file before the call; null: none
        Server server;
        int resume;
        Codes outcome;
        int extended;
    } cases[] = {
        {"new file", nullptr, kServes, 0, {0}, 0},
        {"existing file replaced", "old", kServes, 0, {0}, 0},
        {"server drops mid-file", "old", kDrops, 0, {2517, 2509, 2517}, -1},
        {"drops, no earlier file", nullptr, kDrops, 0, {2517, 2509, 2517}, -1},
        {"resumed, drops", nullptr, kDrops, 1, {2517, 2509, 2517}, -1},
        {"remote file missing",
         "old",
         kMissing,
         0,
         {2517, 2509, 2517},
         CURLE_REMOTE_FILE_NOT_FOUND},
        {"progress callback stops",
         "old",
         kStopped,
         0,
         {2517, 2509, 2517},
         CURLE_ABORTED_BY_CALLBACK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(target);
        if (c.before != nullptr) {
            rktest::WriteFile(target, c.before);
            fs::permissions(target, fs::perms(0400));  // read-only, kept when replaced
        }
        server.ClearScripts();
        if (c.server == kDrops) server.ScriptDrop(remote + "/" + kName, part);
        TestFtp ftp = Session();
        if (c.server == kMissing) ftp.SetHREF(rktest::Wide(remote + "/missing " + kName).c_str());
        if (c.server == kStopped) ftp.SetProgressCallback(&StopAtOnce);
        server.ClearCommands();

        LogCapture log;
        EXPECT_EQ(Outcome(ftp.GetFileTo(Target().c_str(), c.resume), log), c.outcome);
        EXPECT_EQ(log.Traces().front(), ">CRFTP::GetFileTo");
        if (c.extended >= 0) {
            EXPECT_EQ(ftp.m_error.m_extendedCode, c.extended);
        }
        EXPECT_TRUE(ftp.Response().empty());  // the body never went through memory
        if (c.outcome == Codes{0}) {
            EXPECT_EQ(rktest::ReadFile(target), remoteBytes);
            EXPECT_EQ(Only(server.Commands(), {"RETR"}), Lines{"RETR " + kName});
        } else if (c.before != nullptr || c.resume != 0) {
            EXPECT_EQ(rktest::ReadFile(target), c.resume != 0 ? part : c.before);
        }
        if (c.before != nullptr) {
            EXPECT_EQ(fs::status(target).permissions(), fs::perms(0400));
        }
        // Nothing beside the target: no temporary file survives, on any path.
        EXPECT_EQ(
            Entries(downloads.Path()),
            c.before != nullptr || c.resume != 0 || c.outcome == Codes{0} ? Lines{kName} : Lines{});
    }
}

// A resumed download continues from the local size, a resumed upload from the remote one; a
// file already longer than its source fails and stays as it was.
TEST_F(FileTransferTest, ResumedTransfersContinueFromTheTargetsSize) {
    const std::string source = downloads.Path() + "/source.bin";
    rktest::WriteFile(source, remoteBytes);
    const std::string remoteFile = local + "/" + kName;
    const long kLonger = static_cast<long>(kSize) + 7, kWhole = static_cast<long>(kSize);
    const struct {
        const char* name;
        bool upload;
        long targetBytes;  // -1: no target file; beyond kSize: longer than the source
        int resume;
        Codes outcome;
        Lines transfer;  // the REST, RETR, STOR and APPE commands sent
    } cases[] = {
        {"partial local file", false, 40000, 1, {0}, {"REST 40000", "RETR " + kName}},
        {"empty local file", false, 0, 1, {0}, {"RETR " + kName}},
        {"no local file", false, -1, 1, {0}, {"RETR " + kName}},
        {"already complete", false, kWhole, 1, {0}, {}},
        {"local file longer", false, kLonger, 1, {2517, 2509, 2517}, {}},
        {"partial remote file", true, 40000, 1, {0}, {"APPE " + kName}},
        {"no remote file", true, -1, 1, {0}, {"STOR " + kName}},
        {"remote file complete", true, kWhole, 1, {0}, {}},
        {"remote file longer", true, kLonger, 1, {2509, 2509}, {}},
        {"upload without resume", true, 40000, 0, {0}, {"STOR " + kName}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string& file = c.upload ? remoteFile : target;
        std::filesystem::remove(file);
        const std::string before = c.targetBytes < 0         ? ""
                                   : c.targetBytes <= kWhole ? remoteBytes.substr(0, c.targetBytes)
                                                             : remoteBytes + "extra..";
        if (c.targetBytes >= 0) rktest::WriteFile(file, before);
        TestFtp ftp = Session();
        server.ClearCommands();

        EXPECT_EQ(Outcome([&] {
                      return c.upload ? ftp.PutFile(rktest::Wide(source).c_str(), c.resume)
                                      : ftp.GetFileTo(Target().c_str(), c.resume);
                  }),
                  c.outcome);
        EXPECT_EQ(Only(server.Commands(), {"REST", "RETR", "STOR", "APPE"}), c.transfer);
        if (c.outcome == Codes{0}) {
            EXPECT_EQ(rktest::ReadFile(file), remoteBytes);
        } else {
            EXPECT_EQ(ftp.m_error.m_extendedCode,
                      c.upload ? CURLE_FTP_COULDNT_USE_REST : CURLE_BAD_DOWNLOAD_RESUME);
            EXPECT_EQ(rktest::ReadFile(file), before);
        }
    }
}

TEST_F(FileTransferTest, UnusableLocalPathIsRefusedBeforeAnythingIsSent) {
    const std::string dir = downloads.Path();
    const std::wstring paths[] = {L"", rktest::Wide(dir), rktest::Wide(dir + "/"),
                                  rktest::Wide(dir + "/missing/" + kName)};
    for (int resume : {0, 1}) {
        for (const std::wstring& path : paths) {
            SCOPED_TRACE(std::to_string(resume) + " " + std::string(path.begin(), path.end()));
            TestFtp ftp = Session();
            server.ClearCommands();
            CurlInterposer::Reset();
            EXPECT_EQ(Outcome([&] { return ftp.GetFileTo(path.c_str(), resume); }),
                      (Codes{2507, 2507}));
            EXPECT_EQ(ftp.m_error.m_extendedCode, 0);
            EXPECT_EQ(CurlInterposer::PerformCalls(), 0);
            EXPECT_TRUE(server.Commands().empty());
            EXPECT_TRUE(Entries(dir).empty());
        }
    }
    TestFtp ftp = Session();
    EXPECT_EQ(ftp.GetFileTo(nullptr, 0), 2507);
}

// The body sink and the resume offset go back: a later GetFile delivers the whole file to memory.
TEST_F(FileTransferTest, DownloadPutsTheBodySinkBack) {
    rktest::WriteFile(target, remoteBytes.substr(0, 10));
    TestFtp ftp = Session();
    ASSERT_EQ(ftp.GetFileTo(Target().c_str(), 1), 0);
    ASSERT_EQ(ftp.GetFile(), 0);
    EXPECT_EQ(ftp.Response(), remoteBytes);
    EXPECT_EQ(rktest::ReadFile(target), remoteBytes);
}
