// How a session reaches its server: a dropped cached connection, TLS, active and passive modes.

#include <chrono>
#include <thread>

#include "TestFtp.h"

namespace {

// With connection reuse on, a download or an upload that finds its cached connection dropped
// by the server (421 on idle timeout, then closed) runs again on a fresh one.
TEST_F(PyFtpTest, DroppedCachedConnectionIsReplaced) {
    server.ScriptIdleTimeout(0.5);
    rktest::WriteFile(local + "/up", "uploaded");
    rktest::WriteFile(local + "/f", "fetched");
    TestFtp ftp(&server, remote + "/f");
    ftp.SetReuseConnections(1);
    ASSERT_EQ(ftp.GetFile(), 0);
    for (const bool upload : {false, true}) {
        SCOPED_TRACE(upload);
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // the server drops it
        server.ClearCommands();
        EXPECT_EQ(Outcome([&] {
                      return upload ? ftp.PutFile(rktest::Wide(local + "/up").c_str())
                                    : ftp.GetFile();
                  }),
                  Codes{0});
        EXPECT_EQ(Only(server.Commands(), {"USER"}).size(), 1u);  // logged in again
    }
    EXPECT_EQ(ftp.Response(), "fetched");
    EXPECT_EQ(rktest::ReadFile(local + "/f"), "uploaded");
}

using VsftpdConnectingTest = VsftpdFixture<>;

// Each connection choice against a vsftpd that needs it: an upload (STOR, then the rest by APPE)
// arrives whole, and the commands that show the choice were sent. TLS is capped at 1.2: at 1.3
// vsftpd cuts many uploads short (bench/ftp counts), with session reuse required the most.
TEST_F(VsftpdConnectingTest, TlsActiveModeAndTheExtendedCommands) {
    using Variant = rktest::VsftpdServer::Variant;
    const Lines shown = {"AUTH ",          "PBSZ 0", "PROT P", "EPSV", "PASV", "EPRT |1|127.0.0.1|",
                         "PORT 127,0,0,1,"};
    const Lines tls = {"AUTH ", "PBSZ 0", "PROT P", "EPSV"};
    // what, server, setters, the prefixes of shown that were sent
    const std::tuple<const char*, Variant, std::function<void(TestFtp&)>, Lines> rows[] = {
        // clang-format off
        {"explicit TLS, PASV", Variant::kStandard,
         [](TestFtp& f) { f.SetSecure(1), f.SetTlsVersions(0, 12), f.SetUseEpsv(0); },
         {"AUTH ", "PBSZ 0", "PROT P", "PASV"}},
        {"implicit TLS", Variant::kImplicitTls,
         [](TestFtp& f) { f.SetImplicitTls(1), f.SetTlsVersions(0, 12); },
         {"PBSZ 0", "PROT P", "EPSV"}},
        {"active, EPRT", Variant::kActiveOnly, [](TestFtp& f) { f.SetActivePort(L"-"); },
         {"EPRT |1|127.0.0.1|"}},
        {"active, PORT", Variant::kActiveOnly,
         [](TestFtp& f) { f.SetActivePort(L"127.0.0.1"), f.SetUseEprt(0); }, {"PORT 127,0,0,1,"}},
        {"session reuse required", Variant::kSessionReuse,
         [](TestFtp& f) { f.SetSecure(1), f.SetTlsVersions(0, 12), f.SetReuseConnections(0); }, tls},
        {"session reuse required, reused", Variant::kSessionReuse,
         [](TestFtp& f) { f.SetSecure(1), f.SetTlsVersions(0, 12), f.SetReuseConnections(1); }, tls},
        // clang-format on
    };
    const rktest::TempDir tmp;
    std::string content(1 << 20, 'x');
    for (std::size_t i = 0; i < content.size(); i += 11) content[i] = 'a' + i % 26;
    rktest::WriteFile(tmp.Path("half"), content);
    rktest::WriteFile(tmp.Path("whole"), content + content);
    for (const auto& [what, variant, set, expected] : rows) {
        SCOPED_TRACE(what);
        Use(variant);
        server->HandOver(local);
        TestFtp ftp(server, remote + "/up");
        set(ftp);
        ASSERT_EQ(ftp.PutFile(tmp.WidePath("half").c_str()), 0);
        ASSERT_EQ(ftp.PutFile(tmp.WidePath("whole").c_str(), 1), 0);
        EXPECT_TRUE(rktest::ReadFile(local + "/up") == content + content);
        Lines sent;
        const Lines commands = server->Commands();
        std::copy_if(shown.begin(), shown.end(), std::back_inserter(sent),
                     [&](const std::string& prefix) { return !Only(commands, {prefix}).empty(); });
        EXPECT_EQ(sent, expected);
    }
}

}  // namespace
