// A socket on 127.0.0.1 that never answers a request. Silent: connections wait in the backlog
// unaccepted. Greeting: each connection gets "220 ready" and then nothing more.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace rktest {

class StallingServer {
public:
    explicit StallingServer(bool greets = false);
    ~StallingServer();
    StallingServer(const StallingServer&) = delete;
    StallingServer& operator=(const StallingServer&) = delete;
    std::wstring Host() const { return L"127.0.0.1:" + std::to_wstring(m_port); }

private:
    void Greet();
    int m_socket;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::vector<int> m_clients;
    std::thread m_thread;
};

}  // namespace rktest
