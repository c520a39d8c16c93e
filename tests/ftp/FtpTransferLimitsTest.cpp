// The connection's limits on FTP: a server that never answers, one that greets and then falls
// silent, and a data transfer that trickles all end the request with libcurl's 28 along the
// operation's failure chain.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "TestFtp.h"

namespace {

using rktest::LogCapture;

// A socket on 127.0.0.1. Silent: connections wait in the backlog unanswered. Otherwise each
// connection is greeted with "220" and nothing else is ever said on it.
class StallingServer {
public:
    explicit StallingServer(bool greets) : m_socket(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(m_socket, 8) != 0 ||
            getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "stalling server cannot listen";
        }
        m_port = ntohs(address.sin_port);
        if (greets) m_thread = std::thread([this] { Greet(); });
    }
    ~StallingServer() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        for (const int client : m_clients) close(client);
        close(m_socket);
    }
    StallingServer(const StallingServer&) = delete;
    StallingServer& operator=(const StallingServer&) = delete;
    std::wstring Host() const { return L"127.0.0.1:" + std::to_wstring(m_port); }

private:
    void Greet() {
        while (!m_stop) {
            pollfd ready{m_socket, POLLIN, 0};
            if (poll(&ready, 1, 50) <= 0) continue;
            const int client = accept(m_socket, nullptr, nullptr);
            if (client < 0) continue;
            static const char kGreeting[] = "220 ready\r\n";
            if (send(client, kGreeting, sizeof kGreeting - 1, MSG_NOSIGNAL) < 0) {
                ADD_FAILURE() << "stalling server cannot greet";
            }
            m_clients.push_back(client);  // held open, never read
        }
    }

    int m_socket;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::vector<int> m_clients;
    std::thread m_thread;
};

TEST(FtpTransferLimitsTest, StalledServerRunsIntoTheTimeout) {
    for (const bool greets : {false, true}) {
        SCOPED_TRACE(greets ? "greets, then silent" : "silent");
        StallingServer server(greets);
        TestFtp ftp;
        ftp.SetServer(server.Host().c_str());
        ftp.SetNeedAuthentication(1);
        ftp.SetUserName(L"user");
        ftp.SetPassword(L"secret");
        ftp.SetTimeout(500);
        const LogCapture log;
        const auto start = std::chrono::steady_clock::now();
        const int code = ftp.Connect();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(Outcome(code, log), (Codes{2509, 2509}));
        EXPECT_EQ(Logged(log, "Extended Error "), (Codes{CURLE_OPERATION_TIMEDOUT}));
        EXPECT_EQ(ftp.m_error.whatEx(), CURLE_OPERATION_TIMEDOUT);
        EXPECT_GE(elapsed, std::chrono::milliseconds(450));
        EXPECT_LT(elapsed, std::chrono::seconds(5));
        ftp.Close();
    }
}

// A download that starts and then trickles (64 bytes a second) runs into the low-speed limit and,
// on its own, into the time limit, long before the file is through.
TEST_F(PyFtpTest, TricklingDownloadRunsIntoTheLimits) {
    rktest::WriteFile(local + "/slow.bin", std::string(65536, 's'));
    server.ScriptThrottle(64);
    const struct {
        const char* what;
        std::function<void(CConnection&)> set;
        std::chrono::milliseconds atLeast;
        const wchar_t* reason;  // libcurl's own words (its error buffer)
    } cases[] = {
        {"low speed", [](CConnection& c) { c.SetLowSpeedLimit(1000, 1); },
         std::chrono::milliseconds(900), L"Operation too slow"},
        {"timeout", [](CConnection& c) { c.SetTimeout(800); }, std::chrono::milliseconds(750),
         L"Operation timed out after"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        server.ClearCommands();
        TestFtp ftp(&server, remote + "/slow.bin");
        c.set(ftp);
        const LogCapture log;
        const auto start = std::chrono::steady_clock::now();
        const int code = ftp.GetFile();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(Outcome(code, log), (Codes{2517, 2509, 2517}));
        EXPECT_EQ(ftp.m_error.whatEx(), CURLE_OPERATION_TIMEDOUT);
        EXPECT_NE(std::wstring(ftp.m_error.GetMessageEx()).find(c.reason), std::wstring::npos)
            << std::wstring(ftp.m_error.GetMessageEx());
        EXPECT_EQ(Only(server.Commands(), {"RETR "}), (Lines{"RETR slow.bin"}));
        EXPECT_GE(elapsed, c.atLeast);
        EXPECT_LT(elapsed, std::chrono::seconds(4));
    }
}

}  // namespace
