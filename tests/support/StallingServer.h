// A socket on 127.0.0.1 that never answers: connections wait in its backlog, unaccepted.
#pragma once

#include <string>

namespace rktest {

class StallingServer {
public:
    StallingServer();
    ~StallingServer();
    StallingServer(const StallingServer&) = delete;
    StallingServer& operator=(const StallingServer&) = delete;
    std::wstring Host() const { return L"127.0.0.1:" + std::to_wstring(m_port); }

private:
    int m_socket;
    int m_port = 0;
};

}  // namespace rktest
