// A socket on 127.0.0.1 that never answers: connections wait in its backlog, unaccepted.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace rktest {

class StallingServer {
public:
    StallingServer() : m_socket(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(m_socket, 8) != 0 ||
            getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::perror("stalling server");
        }
        m_port = ntohs(address.sin_port);
    }
    ~StallingServer() { close(m_socket); }
    StallingServer(const StallingServer&) = delete;
    StallingServer& operator=(const StallingServer&) = delete;
    std::wstring Host() const { return L"127.0.0.1:" + std::to_wstring(m_port); }

private:
    int m_socket;
    int m_port = 0;
};

}  // namespace rktest
