#include "FtpTestServers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace rktest {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& output) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid != 0) return;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test program
    if (::getppid() != parent) ::_exit(1);
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    ::execv(args[0], args.data());
    ::_exit(127);
}

ChildProcess::~ChildProcess() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
}

bool ChildProcess::Running() {
    return m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0;
}

namespace {

// Polls for up to 5 s while the process runs.
bool WaitFor(const std::function<bool()>& ready, ChildProcess& process) {
    for (int i = 0; i < 200 && process.Running(); ++i) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

// Port 0 binds a free port and gives its number; another port is tried for a listener.
int LoopbackPort(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto* any = reinterpret_cast<sockaddr*>(&address);
    socklen_t length = sizeof address;
    const bool ok = port == 0 ? ::bind(s, any, length) == 0 && ::getsockname(s, any, &length) == 0
                              : ::connect(s, any, length) == 0;
    ::close(s);
    return ok ? ntohs(address.sin_port) : 0;
}

}  // namespace

FtpTestServer::FtpTestServer() : m_root(m_dir.Path("root")) {
    MakeDirs(Pub());
}

FtpTestServer::~FtpTestServer() = default;

PyFtpServer::PyFtpServer() : m_script(m_dir.Path("script")) {
    m_log = m_dir.Path("commands.log");
    MakeDirs(m_script);
    const std::string portFile = m_dir.Path("port");
    m_process.reset(
        new ChildProcess({"/usr/bin/python3", RKCURL_FTP_SERVER_SCRIPT, "--root", m_root,
                          "--port-file", portFile, "--command-log", m_log, "--script", m_script},
                         m_dir.Path("server.out")));
    if (!WaitFor([&] { return Exists(portFile); }, *m_process)) {
        throw std::runtime_error("pyftpdlib did not start: " + ReadFile(m_dir.Path("server.out")));
    }
    m_port = std::stoi(ReadFile(portFile));
}

std::vector<std::string> PyFtpServer::Commands() const {
    return ReadLines(m_log);
}

// The file is named by kind and the key in hex (ftp_server.py reads it at every command).
void PyFtpServer::Script(Text kind, Text key, Text bytes) {
    std::string name = m_script + "/" + kind;
    for (unsigned char c : key) name += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    WriteFile(name, bytes);
}

void PyFtpServer::ClearScripts() {
    std::filesystem::remove_all(m_script);
    MakeDirs(m_script);
}

VsftpdServer::VsftpdServer(Variant variant) {
    static const char* const kVariantLines[] = {
        "pasv_enable=YES\nrequire_ssl_reuse=NO\n", "pasv_enable=YES\nrequire_ssl_reuse=YES\n",
        "pasv_enable=YES\nrequire_ssl_reuse=NO\nimplicit_ssl=YES\n",
        "pasv_enable=NO\nport_enable=YES\nrequire_ssl_reuse=NO\n"};
    const std::string dir = m_dir.Path();
    m_log = dir + "/vsftpd.log";
    HandOver(Pub());
    MakeCertificate(dir, "nowhere.invalid");
    for (int attempt = 0; attempt < 5; ++attempt) {  // the free port may be taken meanwhile
        m_port = LoopbackPort(0);
        std::ostringstream conf;
        conf << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" << m_port
             << "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\nanon_root=" << m_root
             << "\nwrite_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                "anon_other_write_enable=YES\nanon_umask=022\nno_anon_password=YES\n"
                "ftp_username=ftp\npasv_address=127.0.0.1\nseccomp_sandbox=NO\n"
                "secure_chroot_dir=/var/run/vsftpd/empty\nssl_enable=YES\nallow_anon_ssl=YES\n"
                "force_anon_logins_ssl=NO\nforce_anon_data_ssl=NO\n"
             << kVariantLines[variant] << "ssl_ciphers=HIGH\nrsa_cert_file=" << dir
             << "/cert.pem\nrsa_private_key_file=" << dir
             << "/key.pem\nlog_ftp_protocol=YES\nxferlog_enable=YES\nxferlog_std_format=NO\n"
                "vsftpd_log_file="
             << m_log
             << "\ndual_log_enable=NO\nsyslog_enable=NO\nmax_clients=500\nmax_per_ip=500\n"
                "delay_failed_login=0\ndelay_successful_login=0\n";
        WriteFile(dir + "/vsftpd.conf", conf.str());
        m_process.reset(
            new ChildProcess({"/usr/sbin/vsftpd", dir + "/vsftpd.conf"}, dir + "/server.out"));
        if (WaitFor([&] { return LoopbackPort(m_port) != 0; }, *m_process)) {
            ClearCommands();
            return;
        }
    }
    throw std::runtime_error("vsftpd did not start: " + ReadFile(dir + "/server.out"));
}

// Lines like: <date> [pid N] FTP command: Client "127.0.0.1", "DELE f1"
std::vector<std::string> VsftpdServer::Commands() const {
    static const std::regex command("FTP command: Client \"127\\.0\\.0\\.1\", \"(.*)\"$");
    std::vector<std::string> commands;
    std::smatch match;
    for (const std::string& line : ReadLines(m_log)) {
        if (std::regex_search(line, match, command)) commands.push_back(match[1]);
    }
    return commands;
}

void VsftpdServer::HandOver(const std::string& path) const {
    const struct passwd* ftp = ::getpwnam("ftp");
    if (ftp == nullptr) return;
    ::lchown(path.c_str(), ftp->pw_uid, ftp->pw_gid);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
        ::lchown(entry.path().c_str(), ftp->pw_uid, ftp->pw_gid);
}

PyFtpServer& SharedPyFtpServer() {
    static PyFtpServer server;
    return server;
}

VsftpdServer& SharedVsftpdServer(VsftpdServer::Variant variant) {
    static std::unique_ptr<VsftpdServer> servers[4];
    if (!servers[variant]) servers[variant].reset(new VsftpdServer(variant));
    return *servers[variant];
}

}  // namespace rktest
