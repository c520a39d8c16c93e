// CRFTP with its protected members opened, and the fixtures and helpers of the FTP tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "CurlInterposer.h"
#include "FtpTestServers.h"
#include "LogCapture.h"
#include "RKCurl/RKCurl.h"
#include "platform/FileTimeEpoch.h"

using Codes = std::vector<int>;
using rktest::CurlInterposer, rktest::LogCapture;
using Lines = std::vector<std::string>;

class TestFtp : public CRFTP {
public:
    using CRFTP::m_curl, CRFTP::m_error, CRFTP::m_findData, CRFTP::m_findIndex, CRFTP::m_header;
    using CRFTP::m_href, CRFTP::m_lastCurlCode, CRFTP::m_urlBuffer;
    using CRFTP::Prepare;

    // A session on the server, standing in href; with RKCURL_TEST_REUSE set, reusing connections.
    explicit TestFtp(const rktest::FtpTestServer* server = nullptr, const std::string& href = "") {
        if (server != nullptr) SetServer(server->HostPort().c_str());
        SetHREF(rktest::Wide(href).c_str());
        if (std::getenv("RKCURL_TEST_REUSE") != nullptr) SetReuseConnections(1);
    }

    std::string Response() const { return m_response; }
    std::wstring Href() const { return rktest::Wide(m_href); }

    // Command and GetCurrentDirectoryW as PathOps.
    int Cmd(const wchar_t* command) { return Command({std::string(command, End(command))}, 0); }
    int Pwd(const wchar_t*) { return GetCurrentDirectoryW(nullptr, nullptr); }
    static const wchar_t* End(const wchar_t* text) { return text + std::wcslen(text); }

    // Every entry of the current listing, from the first on.
    std::vector<std::wstring> Names() {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        if (FindFirstFileW(data) != 0) return names;
        do names.push_back(data.cFileName);
        while (FindNextFileW(data) == 0);
        return names;
    }
};

using PathOp = int (TestFtp::*)(const wchar_t*);  // an operation on one argument

// A debug callback that collects libcurl's verbose output of every kind into a std::string.
inline int CollectDebug(void* text, int, const char* data, std::size_t size) {
    static_cast<std::string*>(text)->append(data, size);
    return 0;
}

// The numbers of the log's "M|<prefix><n>" records: the failure chain, or the extended codes.
inline Codes Logged(const rktest::LogCapture& log, const std::string& prefix = "Error Code : ") {
    Codes codes;
    for (const std::string& line : log.Failures())
        if (line.rfind("M|" + prefix, 0) == 0) codes.push_back(std::atoi(&line[prefix.size() + 2]));
    return codes;
}

// What a call did: its result, then the failure codes it logged in order ({0}: none).
inline Codes Outcome(int result, const rktest::LogCapture& log) {
    Codes outcome = Logged(log);
    outcome.insert(outcome.begin(), result);
    return outcome;
}
inline Codes Outcome(const std::function<int()>& call) {
    const rktest::LogCapture log;
    return Outcome(call(), log);
}
inline Codes Outcome(TestFtp& ftp, PathOp op, const wchar_t* arg) {
    return Outcome([&] { return (ftp.*op)(arg); });
}

inline Lines Only(const Lines& commands, const Lines& prefixes) {
    Lines kept;
    std::copy_if(commands.begin(), commands.end(), std::back_inserter(kept), [&](auto& c) {
        return std::any_of(prefixes.begin(), prefixes.end(),
                           [&](auto& p) { return c.compare(0, p.size(), p) == 0; });
    });
    return kept;
}

// Makes the files (and, for paths ending in "/", the directories) under root, with parents.
inline void Make(const std::string& root, const Lines& paths) {
    for (const std::string& path : paths) {
        rktest::MakeDirs(root + "/" + path.substr(0, path.rfind('/') + 1));
        if (path.back() != '/') rktest::WriteFile(root + "/" + path, path);
    }
}

inline std::uint64_t Ticks(const FILETIME& t) {
    return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}
inline std::uint64_t UnixTicks(std::int64_t seconds) {
    return (seconds + rkplatform::kSecondsFrom1601To1970) * rkplatform::kTicksPerSecond;
}

// A record as (name, attributes, size, ticks, may be a link).
using Row = std::tuple<std::wstring, DWORD, std::uint64_t, std::uint64_t, bool>;
using Rows = std::vector<Row>;

// The records from data on, to the end of the listing.
inline Rows RowsFrom(TestFtp& ftp, WIN32_FIND_DATAW& data) {
    Rows rows;
    do {
        const std::uint64_t size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        rows.emplace_back(data.cFileName, data.dwFileAttributes, size, Ticks(data.ftLastWriteTime),
                          ftp.FindEntryIsLink());
    } while (ftp.FindNextFileW(data) == 0);
    return rows;
}

inline std::string FileLine(const std::string& name) {
    return "-rw-r--r-- 1 u g 1 Nov 30  2024 " + name + "\r\n";
}
inline std::string DirLine(const std::string& name) {
    return "drwxr-xr-x 2 u g 4096 Nov 30  2024 " + name + "\r\n";
}

// A test that works in a directory of its own under /pub on the shared pyftpdlib server.
class PyFtpTest : public ::testing::Test {
protected:
    void SetUp() override {
        rktest::CurlInterposer::Reset();
        server.ClearScripts();
        name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        local = server.Pub() + "/" + name;
        remote = "/pub/" + name;
        rktest::MakeDirs(local);
        server.ClearCommands();
    }
    void TearDown() override { rktest::CurlInterposer::Reset(); }

    // A session standing in this test's directory, after a successful Connect.
    void Open(TestFtp& ftp) {
        ftp.SetServer(server.HostPort().c_str());
        ftp.SetHREF(rktest::Wide(remote + "/").c_str());
        ASSERT_EQ(ftp.Connect(), 0);
        server.ClearCommands();
    }
    TestFtp Opened() {
        TestFtp ftp;
        Open(ftp);
        return ftp;
    }

    rktest::PyFtpServer& server = rktest::SharedPyFtpServer();
    std::string name, local, remote;  // the test's directory in the file system and by FTP
};

// A test in a directory of its own under /pub on a shared vsftpd, which only root may start.
template <class Base = ::testing::Test>
class VsftpdFixture : public Base {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "vsftpd needs to be started as root";
        Use(rktest::VsftpdServer::kStandard);
    }
    // Moves the test to its directory on a variant of the server.
    void Use(rktest::VsftpdServer::Variant variant) {
        server = &rktest::SharedVsftpdServer(variant);
        local =
            server->Pub() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        remote = "/pub/" + local.substr(local.rfind('/') + 1);
        rktest::MakeDirs(local);
        server->ClearCommands();
    }
    // A session standing in this test's directory, its tree handed over to the server's user.
    void Open(TestFtp& ftp, int secure = 0) {
        server->HandOver(local);
        ftp.SetServer(server->HostPort().c_str());
        ftp.SetSecure(secure);
        ftp.SetHREF(rktest::Wide(remote + "/").c_str());
        ASSERT_EQ(ftp.Connect(), 0);
    }
    rktest::VsftpdServer* server = nullptr;
    std::string local, remote;
};
