#include "StallingServer.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace rktest {

StallingServer::StallingServer(bool greets) : m_socket(socket(AF_INET, SOCK_STREAM, 0)) {
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
    if (greets) m_thread = std::thread([this] { Greet(); });
}

StallingServer::~StallingServer() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    for (const int client : m_clients) close(client);
    close(m_socket);
}

void StallingServer::Greet() {
    while (!m_stop) {
        pollfd ready{m_socket, POLLIN, 0};
        if (poll(&ready, 1, 50) <= 0) continue;
        const int client = accept(m_socket, nullptr, nullptr);
        if (client < 0) continue;
        static const char kGreeting[] = "220 ready\r\n";
        (void)send(client, kGreeting, sizeof kGreeting - 1, MSG_NOSIGNAL);
        m_clients.push_back(client);  // held open, never read
    }
}

}  // namespace rktest
