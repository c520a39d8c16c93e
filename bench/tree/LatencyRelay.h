// The emulated network of the tree benchmark: ftp_relay.py in front of a test server, holding
// every chunk of the control and the passive data connections for a one-way delay. Started
// with the object and stopped with it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "FtpTestServers.h"
#include "TestFiles.h"

namespace rkbench {

class LatencyRelay {
public:
    LatencyRelay(int serverPort, double delayMs) {
        const std::string portFile = m_dir.Path() + "/port";
        m_process.reset(
            new rktest::ChildProcess({"/usr/bin/python3", RKCURL_FTP_RELAY_SCRIPT, "--server-port",
                                      std::to_string(serverPort), "--delay-ms",
                                      std::to_string(delayMs), "--port-file", portFile},
                                     m_dir.Path() + "/relay.out"));
        for (int i = 0; i < 200 && !rktest::Exists(portFile); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        m_port = std::atoi(rktest::ReadFile(portFile).c_str());
        if (m_port == 0) throw std::runtime_error("the relay did not start");
    }

    int Port() const { return m_port; }

    // The round trip a command costs through the relay, measured: the mean of ten NOOPs after
    // the greeting (a reply of any code ends a round trip).
    double RoundTripMs() const {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(m_port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        double ms = -1;
        if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ReadReply(s)) {
            constexpr int kRounds = 10;
            const auto start = std::chrono::steady_clock::now();
            bool ok = true;
            for (int i = 0; i < kRounds && ok; ++i) {
                ok = ::send(s, "NOOP\r\n", 6, 0) == 6 && ReadReply(s);
            }
            const std::chrono::duration<double, std::milli> spent =
                std::chrono::steady_clock::now() - start;
            if (ok) ms = spent.count() / kRounds;
        }
        ::close(s);
        return ms;
    }

private:
    // Reads up to the end of a reply's last line ("NNN text" CR LF, not "NNN-").
    static bool ReadReply(int s) {
        std::string line;
        char c = 0;
        while (::recv(s, &c, 1, 0) == 1) {
            line += c;
            if (c != '\n') continue;
            if (line.size() >= 4 && line[3] == ' ') return true;
            line.clear();
        }
        return false;
    }

    rktest::TempDir m_dir;
    int m_port = 0;
    std::unique_ptr<rktest::ChildProcess> m_process;  // declared last: stopped first
};

}  // namespace rkbench
