// FTPS with the certificate checks on, against vsftpd with certificates made at start: one
// signed by a CA of its own for 127.0.0.1 and localhost, one self-signed for another name.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "TestFtp.h"

using rktest::LogCapture;

namespace {

class VerifiedFtpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // vsftpd changes to its own unprivileged user for every session: it must start as root.
        if (::geteuid() != 0) GTEST_SKIP() << "vsftpd needs to be started as root";
        for (rktest::VsftpdServer* server :
             {&rktest::SharedCaSignedVsftpdServer(), &rktest::SharedVsftpdServer()}) {
            rktest::MakeDirs(server->Pub() + "/verified");
            rktest::WriteFile(server->Pub() + "/verified/file.txt", "checked\n");
        }
    }
    // A secure session on the server with the checks as given; no request made yet.
    static void Configure(TestFtp& ftp, const rktest::VsftpdServer& server, int verify,
                          const std::string& caFile, const std::string& href) {
        ftp.SetServer(server.HostPort().c_str());
        ftp.SetSecure(1);
        ftp.SetVerifyPeer(verify);
        ftp.SetCACertificateFile(rktest::Wide(caFile).c_str());
        ftp.SetHREF(rktest::Wide(href).c_str());
    }
};

// An operation's result and what it delivered: the first listed name or the file's bytes.
int List(TestFtp& ftp, std::string& seen) {
    WIN32_FIND_DATAW data;
    const int result = ftp.FindFirstFileW(data);
    if (result == 0) seen = oru::helper::WideStrToNarStr(data.cFileName);
    return result;
}
int Download(TestFtp& ftp, std::string& seen) {
    const int result = ftp.GetFile();
    seen = ftp.Response();
    return result;
}

TEST_F(VerifiedFtpsTest, CertificateOutcomes) {
    rktest::VsftpdServer& trusted = rktest::SharedCaSignedVsftpdServer();
    rktest::VsftpdServer& misnamed = rktest::SharedVsftpdServer();
    const struct {
        const char* what;
        rktest::VsftpdServer* server;
        int verify;
        std::string caFile;
        bool passes;
        const char* reason;  // part of the extended message of a failure
    } cases[] = {
        {"checks off", &trusted, 0, "", true, nullptr},
        {"trusted CA", &trusted, 1, trusted.CaFile(), true, nullptr},
        {"unknown CA", &trusted, 1, "", false, "unable to get local issuer certificate"},
        // The chain is trusted, the name is not 127.0.0.1: libcurl 7.88 reports 60 for it too.
        {"other host name", &misnamed, 1, misnamed.CaFile(), false, "target host name"},
    };
    const struct {
        const char* what;
        int (*run)(TestFtp&, std::string&);
        const char* href;
        std::string delivered;
    } operations[] = {
        {"listing", &List, "/pub/verified/", "file.txt"},
        {"download", &Download, "/pub/verified/file.txt", "checked\n"},
    };
    for (const auto& op : operations) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(op.what) + ", " + c.what);
            TestFtp ftp;
            Configure(ftp, *c.server, c.verify, c.caFile, op.href);
            c.server->ClearCommands();
            const LogCapture log;
            std::string seen;
            const int result = op.run(ftp, seen);
            if (c.passes) {
                EXPECT_EQ(result, 0);
                EXPECT_EQ(seen, op.delivered);
                continue;
            }
            // GetFile's code both times: the listing is fetched by GetFile.
            EXPECT_EQ(Outcome(result, log), (Codes{2517, 2509, 2517}));
            EXPECT_EQ(ftp.m_error.whatEx(), CURLE_PEER_FAILED_VERIFICATION);
            const std::string message = oru::helper::WideStrToNarStr(ftp.m_error.GetMessageEx());
            EXPECT_NE(message.find(curl_easy_strerror(CURLE_PEER_FAILED_VERIFICATION)),
                      std::string::npos)
                << message;
            EXPECT_NE(message.find(c.reason), std::string::npos) << message;
            // Refused during the handshake: no file or listing went out.
            EXPECT_TRUE(Only(c.server->Commands(), {"RETR", "LIST", "USER"}).empty());
        }
    }
}

// A connection opened with the checks off stays with requests that have them off: a checked
// request on the same object makes its own connection, and the check fails as it should.
TEST_F(VerifiedFtpsTest, ReusedConnectionIsNotTakenOverByACheckedRequest) {
    rktest::VsftpdServer& server = rktest::SharedCaSignedVsftpdServer();
    TestFtp ftp;
    ftp.SetReuseConnections(1);
    Configure(ftp, server, 0, "", "/pub/verified/file.txt");
    ASSERT_EQ(ftp.GetFile(), 0);

    ftp.SetVerifyPeer(1);
    EXPECT_EQ(ftp.GetFile(), 2517);
    EXPECT_EQ(ftp.m_error.whatEx(), CURLE_PEER_FAILED_VERIFICATION);

    // Trusting the CA is a setting of its own: the check runs again and passes.
    ftp.SetCACertificateFile(rktest::Wide(server.CaFile()).c_str());
    EXPECT_EQ(ftp.GetFile(), 0);
    // Back to the unchecked settings, the first connection is still there to be reused.
    server.ClearCommands();
    ftp.SetVerifyPeer(0);
    ftp.SetCACertificateFile(nullptr);
    EXPECT_EQ(ftp.GetFile(), 0);
    EXPECT_TRUE(Only(server.Commands(), {"USER ", "AUTH "}).empty());
}

}  // namespace
