#include "FtpTestServers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ftw.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace rktest {

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return ::remove(path);
}

std::string Hex(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool WaitFor(const std::function<bool()>& ready, ChildProcess& process) {
    for (int i = 0; i < 200; ++i) {
        if (ready()) return true;
        if (!process.Running()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

int FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

bool Accepts(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return ok;
}

uid_t g_ftpUid = 0;
gid_t g_ftpGid = 0;
int ChownEntry(const char* path, const struct stat*, int, struct FTW*) {
    return ::lchown(path, g_ftpUid, g_ftpGid);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& output) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test program
        if (::getppid() != parent) ::_exit(1);
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::close(fd);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
}

ChildProcess::~ChildProcess() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
}

bool ChildProcess::Running() {
    return m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0;
}

PyFtpServer::PyFtpServer() {
    m_root = m_dir.Path() + "/root";
    m_script = m_dir.Path() + "/script";
    m_log = m_dir.Path() + "/commands.log";
    MakeDirs(m_root + "/pub");
    MakeDirs(m_script);
    const std::string portFile = m_dir.Path() + "/port";
    m_process.reset(
        new ChildProcess({"/usr/bin/python3", RKCURL_FTP_SERVER_SCRIPT, "--root", m_root,
                          "--port-file", portFile, "--command-log", m_log, "--script", m_script},
                         m_dir.Path() + "/server.out"));
    if (!WaitFor([&] { return Exists(portFile); }, *m_process)) {
        throw std::runtime_error("pyftpdlib did not start: " +
                                 ReadFile(m_dir.Path() + "/server.out"));
    }
    m_port = std::atoi(ReadFile(portFile).c_str());
}

std::vector<std::string> PyFtpServer::Commands() const {
    return ReadLines(m_log);
}

void PyFtpServer::ClearCommands() {
    WriteFile(m_log, "");
}

void PyFtpServer::Script(const std::string& kind, const std::string& key,
                         const std::string& bytes) {
    WriteFile(m_script + "/" + kind + Hex(key), bytes);
}

void PyFtpServer::ClearScripts() {
    ::nftw(m_script.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    MakeDirs(m_script);
}

namespace {

// The lines that make a variant of the standard configuration.
const char* VariantLines(VsftpdServer::Variant variant) {
    switch (variant) {
        case VsftpdServer::kStandard:
            return "pasv_enable=YES\nrequire_ssl_reuse=NO\n";
        case VsftpdServer::kSessionReuse:
            return "pasv_enable=YES\nrequire_ssl_reuse=YES\n";
        case VsftpdServer::kImplicitTls:
            return "pasv_enable=YES\nrequire_ssl_reuse=NO\nimplicit_ssl=YES\n";
        case VsftpdServer::kActiveOnly:
            return "pasv_enable=NO\nport_enable=YES\nrequire_ssl_reuse=NO\n";
    }
    return "";
}

}  // namespace

VsftpdServer::VsftpdServer(Variant variant) {
    const std::string dir = m_dir.Path();
    m_root = dir + "/root";
    m_log = dir + "/vsftpd.log";
    MakeDirs(m_root + "/pub");
    HandOver(m_root + "/pub");
    MakeCertificate(dir, "nowhere.invalid");

    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = FreePort();
        std::ostringstream conf;
        conf << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" << m_port
             << "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\nanon_root=" << m_root
             << "\nwrite_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                "anon_other_write_enable=YES\nanon_umask=022\nno_anon_password=YES\n"
                "ftp_username=ftp\npasv_address=127.0.0.1\nseccomp_sandbox=NO\n"
                "secure_chroot_dir=/var/run/vsftpd/empty\nssl_enable=YES\nallow_anon_ssl=YES\n"
                "force_anon_logins_ssl=NO\nforce_anon_data_ssl=NO\n"
             << VariantLines(variant) << "ssl_ciphers=HIGH\nrsa_cert_file=" << dir
             << "/cert.pem\nrsa_private_key_file=" << dir
             << "/key.pem\nlog_ftp_protocol=YES\nxferlog_enable=YES\nxferlog_std_format=NO\n"
                "vsftpd_log_file="
             << m_log
             << "\ndual_log_enable=NO\nsyslog_enable=NO\nmax_clients=500\nmax_per_ip=500\n"
                "delay_failed_login=0\ndelay_successful_login=0\n";
        WriteFile(dir + "/vsftpd.conf", conf.str());
        m_process.reset(
            new ChildProcess({"/usr/sbin/vsftpd", dir + "/vsftpd.conf"}, dir + "/server.out"));
        if (WaitFor([&] { return Accepts(m_port); }, *m_process)) {
            ClearCommands();
            return;
        }
        m_process.reset();
    }
    throw std::runtime_error("vsftpd did not start: " + ReadFile(dir + "/server.out"));
}

// Lines like: <date> [pid N] FTP command: Client "127.0.0.1", "DELE f1"
std::vector<std::string> VsftpdServer::Commands() const {
    static const char marker[] = "FTP command: Client \"127.0.0.1\", \"";
    std::vector<std::string> commands;
    for (const std::string& line : ReadLines(m_log)) {
        const std::size_t at = line.find(marker);
        if (at == std::string::npos) continue;
        const std::size_t start = at + sizeof marker - 1;
        commands.push_back(line.substr(start, line.rfind('"') - start));
    }
    return commands;
}

void VsftpdServer::ClearCommands() {
    ::truncate(m_log.c_str(), 0);
}

void VsftpdServer::HandOver(const std::string& path) const {
    const struct passwd* ftp = ::getpwnam("ftp");
    if (ftp == nullptr) return;
    g_ftpUid = ftp->pw_uid;
    g_ftpGid = ftp->pw_gid;
    ::nftw(path.c_str(), ChownEntry, 16, FTW_PHYS);
}

PyFtpServer& SharedPyFtpServer() {
    static PyFtpServer server;
    return server;
}

VsftpdServer& SharedVsftpdServer() {
    static VsftpdServer server;
    return server;
}

VsftpdServer& SharedVsftpdServer(VsftpdServer::Variant variant) {
    switch (variant) {
        case VsftpdServer::kStandard:
            return SharedVsftpdServer();
        case VsftpdServer::kSessionReuse: {
            static VsftpdServer server(variant);
            return server;
        }
        case VsftpdServer::kImplicitTls: {
            static VsftpdServer server(variant);
            return server;
        }
        case VsftpdServer::kActiveOnly: {
            static VsftpdServer server(variant);
            return server;
        }
    }
    return SharedVsftpdServer();
}

}  // namespace rktest
