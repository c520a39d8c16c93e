#include "FtpTestServers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
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

// Port 0 binds a free port and gives its number; another port is tried for a listener.
int LoopbackPort(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    auto* any = reinterpret_cast<sockaddr*>(&address);
    socklen_t length = sizeof address;
    const bool ok = port == 0 ? ::bind(s, any, length) == 0 && ::getsockname(s, any, &length) == 0
                              : ::connect(s, any, length) == 0;
    ::close(s);
    return ok ? ntohs(address.sin_port) : 0;
}

}  // namespace

// Runs argv(port) until it accepts connections on a free port; another program may take the
// port between its choice and the server's bind, hence the attempts.
void FtpTestServer::Start(const std::function<std::vector<std::string>(int)>& argv) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = LoopbackPort(0);
        m_process.reset(new ChildProcess(argv(m_port), m_dir.Path("server.out")));
        for (int i = 0; i < 200 && m_process->Running(); ++i) {  // up to 5 s
            if (LoopbackPort(m_port) != 0) return ClearCommands();
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }
    throw std::runtime_error("the FTP server did not start: " + ReadFile(m_dir.Path("server.out")));
}

PyFtpServer::PyFtpServer() : m_script(m_dir.Path("script")) {
    m_log = m_dir.Path("commands.log");
    MakeDirs(m_script);
    Start([&](int port) -> std::vector<std::string> {
        const std::string script = RKCURL_FTP_SERVER_SCRIPT;  // root, port, log, scripts
        return {"/usr/bin/python3", script, m_root, std::to_string(port), m_log, m_script};
    });
}

void PyFtpServer::Script(Text kind, Text key, Text bytes) {
    std::string name = m_script + "/" + kind;
    for (unsigned char c : key) name += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    WriteFile(name, bytes);
}

void PyFtpServer::ClearScripts() {
    std::filesystem::remove_all(m_script);
    MakeDirs(m_script);
}

// Options at their defaults are left out; a later line overrides an earlier one.
VsftpdServer::VsftpdServer(Variant variant) {
    static const char* const kVariants[] = {"", "require_ssl_reuse=YES", "implicit_ssl=YES",
                                            "pasv_enable=NO"};
    const std::string dir = m_dir.Path();
    m_log = dir + "/vsftpd.log";
    HandOver(Pub());
    MakeCertificate(dir, "nowhere.invalid");
    Start([&](int port) -> std::vector<std::string> {
        std::string conf =
            "listen=YES listen_address=127.0.0.1 listen_port=" + std::to_string(port) +
            " anonymous_enable=YES anon_root=" + m_root +
            " write_enable=YES anon_upload_enable=YES anon_mkdir_write_enable=YES"
            " anon_other_write_enable=YES anon_umask=022 no_anon_password=YES seccomp_sandbox=NO"
            " ssl_enable=YES allow_anon_ssl=YES force_anon_logins_ssl=NO force_anon_data_ssl=NO"
            " ssl_ciphers=HIGH rsa_cert_file=" +
            dir + "/cert.pem rsa_private_key_file=" + dir +
            "/key.pem log_ftp_protocol=YES xferlog_enable=YES xferlog_std_format=NO"
            " vsftpd_log_file=" +
            m_log + " delay_failed_login=0 require_ssl_reuse=NO " + kVariants[variant];
        std::replace(conf.begin(), conf.end(), ' ', '\n');  // one option a line
        WriteFile(dir + "/vsftpd.conf", conf + "\n");
        return {"/usr/sbin/vsftpd", dir + "/vsftpd.conf"};
    });
}

// Lines like: <date> [pid N] FTP command: Client "127.0.0.1", "DELE f1"
std::vector<std::string> VsftpdServer::Commands() const {
    static const std::regex command("FTP command: Client \"127\\.0\\.0\\.1\", \"(.*)\"$");
    std::vector<std::string> commands;
    std::smatch match;
    for (const std::string& line : ReadLines(m_log))
        if (std::regex_search(line, match, command)) commands.push_back(match[1]);
    return commands;
}

// Links are handed over themselves, not what they point to.
void VsftpdServer::HandOver(const std::string& path) const {
    const int status = std::system(("chown -hR ftp:ftp '" + path + "'").c_str());
    (void)status;  // without an ftp user, vsftpd cannot run either
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
