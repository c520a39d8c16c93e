// How a session reaches its server: a cached connection that the server dropped, implicit
// TLS, active mode and the extended passive and active commands.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TestFtp.h"

namespace {

// With connection reuse on, an operation that finds its cached connection dropped by the
// server (421 on idle timeout, then closed) runs again on a fresh one.
TEST_F(PyFtpTest, DroppedCachedConnectionIsReplaced) {
    server.ScriptIdleTimeout(0.5);
    rktest::TempDir tmp;
    rktest::WriteFile(tmp.Path() + "/up", "uploaded");
    rktest::WriteFile(local + "/f", "fetched");
    const std::pair<const char*, std::function<int(TestFtp&)>> rows[] = {
        {"download", [](TestFtp& f) { return f.GetFile(); }},
        {"upload",
         [&](TestFtp& f) {
             f.SetHREF(rktest::Wide(remote + "/up").c_str());
             return f.PutFile(rktest::Wide(tmp.Path() + "/up").c_str());
         }},
    };
    for (const auto& [name, operation] : rows) {
        SCOPED_TRACE(name);
        TestFtp ftp(&server, remote + "/f");
        ftp.SetReuseConnections(1);
        ASSERT_EQ(ftp.GetFile(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // the server drops it
        server.ClearCommands();
        EXPECT_EQ(Outcome([&] { return operation(ftp); }), Codes{0});
        EXPECT_EQ(Only(server.Commands(), {"USER"}).size(), 1u);  // logged in again
    }
    EXPECT_EQ(rktest::ReadFile(local + "/up"), "uploaded");
}

}  // namespace
