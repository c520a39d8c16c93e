// FTP servers for the tests, each started once per test program on first use (README.md here).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestFiles.h"

namespace rktest {

// A program run beside the tests, output to a file, killed with its owner or the test program.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::string& output);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool Running();

private:
    int m_pid;
};

class FtpTestServer {
public:
    FtpTestServer() : m_root(m_dir.Path("root")) { MakeDirs(Pub()); }
    virtual ~FtpTestServer() = default;
    int Port() const { return m_port; }
    std::wstring HostPort() const { return L"127.0.0.1:" + std::to_wstring(m_port); }
    std::string Pub() const { return m_root + "/pub"; }  // the writable FTP path "/pub"
    // The command lines received since the last ClearCommands, in order.
    virtual std::vector<std::string> Commands() const = 0;
    void ClearCommands() { WriteFile(m_log, ""); }
    // Makes a tree that the test built under Pub() writable for the server's user.
    virtual void HandOver(const std::string&) const {}

protected:
    void Start(const std::function<std::vector<std::string>(int port)>& argv);
    TempDir m_dir;
    std::string m_root, m_log;
    int m_port = 0;
    std::unique_ptr<ChildProcess> m_process;  // declared last: stopped before the files go
};

// pyftpdlib: user rk / secret and anonymous, every permission. The scripts (README.md here says
// what each does) hold until ClearScripts; a path is an FTP path ("/pub/x", no final "/").
class PyFtpServer : public FtpTestServer {
public:
    using Text = const std::string&;
    PyFtpServer();
    std::vector<std::string> Commands() const override { return ReadLines(m_log); }
    void ScriptListing(Text path, Text bytes) { Script("list-", path, bytes); }
    void ScriptMachineListing(Text path, Text bytes) { Script("mlsd-", path, bytes); }
    void ScriptDrop(Text path, Text bytes) { Script("drop-", path, bytes); }
    void ScriptReply(Text command, Text reply) { Script("reply-", command, reply); }
    void ScriptIdleTimeout(double seconds) { Script("idle-timeout", "", std::to_string(seconds)); }
    void ScriptHashes() { Script("hash", "", ""); }
    void ScriptMaxConnections(int limit) { Script("max-cons", "", std::to_string(limit)); }
    void ScriptSlowData() { Script("slow", "", ""); }
    void ClearScripts();

private:
    void Script(Text kind, Text key, Text bytes);
    std::string m_script;
};

// vsftpd: anonymous write rights under Pub(), TLS with a certificate for no host we use. The
// variants: TLS session reuse required on data connections, implicit TLS, no passive mode.
class VsftpdServer : public FtpTestServer {
public:
    enum Variant { kStandard, kSessionReuse, kImplicitTls, kActiveOnly };
    explicit VsftpdServer(Variant variant = kStandard);
    std::vector<std::string> Commands() const override;
    void HandOver(const std::string& path) const override;
};

PyFtpServer& SharedPyFtpServer();
VsftpdServer& SharedVsftpdServer(VsftpdServer::Variant variant = VsftpdServer::kStandard);

}  // namespace rktest
