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

// The names in a local directory, sorted: a left-behind temporary file shows here.
Lines Entries(const std::string& dir) {
    Lines names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class FileTransferTest : public PyFtpTest {
protected:
    void SetUp() override {
        PyFtpTest::SetUp();
        rktest::WriteFile(local + "/" + kName, remoteBytes);
    }
    // A session whose HREF names the test's remote file.
    TestFtp Session() {
        TestFtp ftp(&server, remote + "/" + kName);
        server.ClearCommands();
        return ftp;
    }

    rktest::TempDir downloads;  // the client's side
    const std::string remoteBytes = Content();
    const std::string target = downloads.Path() + "/" + kName;
    const std::wstring wideTarget = rktest::Wide(target);
};

// A whole download touches the local file only when complete, and a replaced file keeps its
// permission bits; a resumed one that breaks off keeps what arrived.
TEST_F(FileTransferTest, DownloadReplacesTheLocalFileOnlyWhenComplete) {
    const std::string part = remoteBytes.substr(0, 70001);
    const struct {
        const char* name;
        const char* before;  // the local file before the call; null: none
        bool drops, missing;
        int resume;
        Codes outcome;
        int extended;  // -1: whatever the drop gives
    } cases[] = {
        {"new file", nullptr, false, false, 0, {0}, 0},
        {"existing file replaced", "old", false, false, 0, {0}, 0},
        {"server drops mid-file", "old", true, false, 0, kFailed, -1},
        {"resumed, drops", nullptr, true, false, 1, kFailed, -1},
        {"remote file missing", "old", false, true, 0, kFailed, CURLE_REMOTE_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(target);
        if (c.before != nullptr) {
            rktest::WriteFile(target, c.before);
            fs::permissions(target, fs::perms(0400));  // read-only, kept when replaced
        }
        server.ClearScripts();
        if (c.drops) server.ScriptDrop(remote + "/" + kName, part);
        TestFtp ftp = Session();
        if (c.missing) ftp.SetHREF(rktest::Wide(remote + "/missing " + kName).c_str());

        rktest::LogCapture log;
        EXPECT_EQ(Outcome(ftp.GetFileTo(wideTarget.c_str(), c.resume), log), c.outcome);
        EXPECT_EQ(log.Traces().front(), ">CRFTP::GetFileTo");
        if (c.extended >= 0) {
            EXPECT_EQ(ftp.m_error.m_extendedCode, c.extended);
        }
        EXPECT_TRUE(ftp.Response().empty());  // the body never went through memory
        const bool ok = c.outcome == Codes{0};
        EXPECT_EQ(Only(server.Commands(), {"RETR"}), c.missing ? Lines{} : Lines{"RETR " + kName});
        EXPECT_EQ(rktest::ReadFile(target), ok ? remoteBytes : c.resume != 0 ? part : c.before);
        if (c.before != nullptr) {
            EXPECT_EQ(fs::status(target).permissions(), fs::perms(0400));
        }
        EXPECT_EQ(Entries(downloads.Path()), Lines{kName});  // no temporary file survives
    }
}

// A resumed download continues from the local size, a resumed upload from the remote one; a
// file already longer than its source fails and stays as it was.
TEST_F(FileTransferTest, ResumedTransfersContinueFromTheTargetsSize) {
    const std::string source = downloads.Path() + "/source.bin";
    rktest::WriteFile(source, remoteBytes);
    const long kLonger = -2, kWhole = static_cast<long>(kSize);
    const struct {
        const char* name;
        bool upload;
        long targetBytes;  // -1: no target file; kLonger: longer than the source
        int resume;
        Codes outcome;
        Lines transfer;  // the REST, RETR, STOR and APPE commands sent
    } cases[] = {
        {"partial local file", false, 40000, 1, {0}, {"REST 40000", "RETR " + kName}},
        {"already complete", false, kWhole, 1, {0}, {}},
        {"local file longer", false, kLonger, 1, kFailed, {}},
        {"partial remote file", true, 40000, 1, {0}, {"APPE " + kName}},
        {"no remote file", true, -1, 1, {0}, {"STOR " + kName}},
        {"remote file complete", true, kWhole, 1, {0}, {}},
        {"remote file longer", true, kLonger, 1, {2509, 2509}, {}},
        {"upload without resume", true, 40000, 0, {0}, {"STOR " + kName}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = c.upload ? local + "/" + kName : target;
        fs::remove(file);
        const std::string before = c.targetBytes == kLonger ? remoteBytes + "extra.."
                                                            : remoteBytes.substr(0, c.targetBytes);
        if (c.targetBytes != -1) rktest::WriteFile(file, before);
        TestFtp ftp = Session();
        EXPECT_EQ(Outcome([&] {
                      return c.upload ? ftp.PutFile(rktest::Wide(source).c_str(), c.resume)
                                      : ftp.GetFileTo(wideTarget.c_str(), c.resume);
                  }),
                  c.outcome);
        EXPECT_EQ(Only(server.Commands(), {"REST", "RETR", "STOR", "APPE"}), c.transfer);
        const bool ok = c.outcome == Codes{0};
        EXPECT_EQ(rktest::ReadFile(file), ok ? remoteBytes : before);
        if (!ok) {
            EXPECT_EQ(ftp.m_error.m_extendedCode,
                      c.upload ? CURLE_FTP_COULDNT_USE_REST : CURLE_BAD_DOWNLOAD_RESUME);
        }
    }
    // The body sink and the resume offset went back: a later GetFile delivers the whole file.
    rktest::WriteFile(target, remoteBytes.substr(0, 10));
    TestFtp ftp = Session();
    ASSERT_EQ(ftp.GetFileTo(wideTarget.c_str(), 1), 0);
    ASSERT_EQ(ftp.GetFile(), 0);
    EXPECT_EQ(ftp.Response(), remoteBytes);
}

TEST_F(FileTransferTest, UnusableLocalPathIsRefusedBeforeAnythingIsSent) {
    const std::string dir = downloads.Path();
    const std::wstring paths[] = {L"", rktest::Wide(dir), rktest::Wide(dir + "/missing/x")};
    for (int resume : {0, 1}) {
        for (const wchar_t* path : {static_cast<const wchar_t*>(nullptr), paths[0].c_str(),
                                    paths[1].c_str(), paths[2].c_str()}) {
            SCOPED_TRACE(std::to_string(resume) + " " +
                         (path ? oru::helper::WideStrToNarStr(path) : "null"));
            TestFtp ftp = Session();
            rktest::CurlInterposer::Reset();
            EXPECT_EQ(Outcome([&] { return ftp.GetFileTo(path, resume); }), (Codes{2507, 2507}));
            EXPECT_EQ(ftp.m_error.m_extendedCode, 0);
            EXPECT_EQ(rktest::CurlInterposer::PerformCalls(), 0);
            EXPECT_TRUE(server.Commands().empty());
            EXPECT_TRUE(Entries(dir).empty());
        }
    }
}

}  // namespace
