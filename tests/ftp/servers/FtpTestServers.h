// FTP servers for the tests: started on first use on 127.0.0.1 and an ephemeral port, once per
// test program, and stopped when the program ends (they also die with it if it crashes).
//
//   rktest::PyFtpServer& py = rktest::SharedPyFtpServer();   // plain FTP, scriptable
//   rktest::VsftpdServer& vs = rktest::SharedVsftpdServer(); // FTPS and plain FTP
//   rktest::SharedVsftpdServer(rktest::VsftpdServer::kImplicitTls);    // a variant
//   ftp.SetServer(py.HostPort().c_str());
//
// Both serve a directory tree that the test may change directly (Root()), and both keep a log
// of the command lines they received (Commands(), ClearCommands()).
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "TestFiles.h"

namespace rktest {

// A child process that is terminated (and reaped) with its owner or when the test program dies.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv, const std::string& output);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool Running();

private:
    pid_t m_pid;
};

class FtpTestServer {
public:
    virtual ~FtpTestServer() = default;
    int Port() const { return m_port; }
    std::wstring HostPort() const { return L"127.0.0.1:" + std::to_wstring(m_port); }
    // The writable tree, served as the FTP path "/pub".
    std::string Pub() const { return m_root + "/pub"; }
    // The command lines received since the last ClearCommands, in order.
    virtual std::vector<std::string> Commands() const = 0;
    virtual void ClearCommands() = 0;
    // Makes a tree that the test built under Pub() writable for the server's user.
    virtual void HandOver(const std::string& path) const { (void)path; }

protected:
    int m_port = 0;
    std::string m_root;
};

// pyftpdlib: user rk / secret and anonymous, every permission, root = Pub()'s parent.
class PyFtpServer : public FtpTestServer {
public:
    PyFtpServer();
    std::vector<std::string> Commands() const override;
    void ClearCommands() override;

    // The LIST reply of the FTP directory (as "/pub/x", no final "/") becomes bytes.
    void ScriptListing(const std::string& ftpPath, const std::string& bytes) {
        Script("list-", ftpPath, bytes);
    }
    // The MLSD reply of the FTP directory becomes bytes.
    void ScriptMachineListing(const std::string& ftpPath, const std::string& bytes) {
        Script("mlsd-", ftpPath, bytes);
    }
    // LIST of the directory (or RETR of the file) sends bytes, then both connections are
    // dropped.
    void ScriptDrop(const std::string& ftpPath, const std::string& bytes) {
        Script("drop-", ftpPath, bytes);
    }
    // Control connections accepted from now on that stay idle for seconds are sent a 421
    // reply and closed (the server dropping a cached connection).
    void ScriptIdleTimeout(double seconds) { Script("idle-timeout", "", std::to_string(seconds)); }
    // The exact command line is answered with reply (lines joined by CR LF) and not run.
    void ScriptReply(const std::string& command, const std::string& reply) {
        Script("reply-", command, reply);
    }
    // FEAT offers "HASH SHA-256*;MD5" and XMD5, and both give the file's hash.
    void ScriptHashes() { Script("hash", "", ""); }
    // Control connections beyond limit from one address are refused with 421.
    void ScriptMaxConnections(int limit) { Script("max-cons", "", std::to_string(limit)); }
    // Data connections opened from now on send 1 MiB a second at most.
    void ScriptSlowData() { Script("slow", "", ""); }
    void ClearScripts();

private:
    // The script file kind + the key in hex, holding bytes.
    void Script(const std::string& kind, const std::string& key, const std::string& bytes);
    TempDir m_dir;
    std::string m_script;
    std::string m_log;
    std::unique_ptr<ChildProcess> m_process;  // declared last: stopped before the files go
};

// vsftpd in the foreground: anonymous with write rights under Pub(), TLS with a self-signed
// certificate made at start that names a host matching nothing.
//
// Variants of its configuration: kStandard (explicit TLS on request, passive mode, TLS session
// reuse on data connections not required); kSessionReuse, TLS as Debian's vsftpd runs it
// (require_ssl_reuse=YES, its default, and TLS 1.3); kImplicitTls (implicit_ssl=YES: TLS from
// the first byte on every connection); kActiveOnly (port_enable=YES, pasv_enable=NO).
class VsftpdServer : public FtpTestServer {
public:
    enum Variant { kStandard, kSessionReuse, kImplicitTls, kActiveOnly };
    explicit VsftpdServer(Variant variant = kStandard);
    std::vector<std::string> Commands() const override;
    void ClearCommands() override;
    void HandOver(const std::string& path) const override;

private:
    TempDir m_dir;
    std::string m_log;
    std::unique_ptr<ChildProcess> m_process;
};

PyFtpServer& SharedPyFtpServer();
VsftpdServer& SharedVsftpdServer();
// The variants, each started once per program on first use.
VsftpdServer& SharedVsftpdServer(VsftpdServer::Variant variant);

}  // namespace rktest
