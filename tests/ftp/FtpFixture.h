// A test that works in a directory of its own under /pub on the shared pyftpdlib server.
#pragma once

#include <gtest/gtest.h>

#include "CurlInterposer.h"
#include "TestFtp.h"

class PyFtpTest : public ::testing::Test {
protected:
    void SetUp() override {
        rktest::CurlInterposer::Reset();
        server.ClearScripts();
        name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        local = server.Pub() + "/" + name;
        remote = "/pub/" + name;
        rktest::MakeDirs(local);
        server.ClearCommands();
    }
    void TearDown() override { rktest::CurlInterposer::Reset(); }

    // A session standing in this test's directory, after a successful Connect.
    void Open(TestFtp& ftp) {
        ftp.SetServer(server.HostPort().c_str());
        ftp.SetHREF(rktest::Wide(remote + "/").c_str());
        ASSERT_EQ(ftp.Connect(), 0);
        server.ClearCommands();
    }

    rktest::PyFtpServer& server = rktest::SharedPyFtpServer();
    std::string name;
    std::string local;   // the test's directory in the file system
    std::string remote;  // the same as an FTP path
};
