#include "StallingServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace rktest {

StallingServer::StallingServer() : m_socket(socket(AF_INET, SOCK_STREAM, 0)) {
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

StallingServer::~StallingServer() {
    close(m_socket);
}

}  // namespace rktest
