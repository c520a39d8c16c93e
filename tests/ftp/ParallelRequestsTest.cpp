// Requests of one session run at once, each on a channel of its own that keeps its login.

#include "TestFtp.h"
#include "connection/Channel.h"
#include "connection/MultiPerformer.h"
#include "ftp/FtpRequests.h"

namespace {

TEST_F(PyFtpTest, TwoRequestsOfOneSessionRunAtOnceAndAChannelCarriesTheNext) {
    const std::string big(512 * 1024, 'x');
    Make(local, {"b.txt", "c.txt"});
    rktest::WriteFile(local + "/a.txt", big);
    TestFtp session;
    session.SetNeedAuthentication(1);
    session.SetUserName(L"rk");
    session.SetPassword(L"secret");
    session.SetReuseConnections(0);  // each channel keeps a cache of its own
    Open(session);

    rkcurl::Channel<CRFTP> first(session), second(session);
    first.Object().SetHREF(rktest::Wide(remote + "/a.txt").c_str());
    second.Object().SetHREF(rktest::Wide(remote + "/b.txt").c_str());
    const std::string target = local + "/got-";
    auto a = rkcurl::ftp::MakeDownload(first.Object(), rktest::Wide(target + "a").c_str(), false);
    auto b = rkcurl::ftp::MakeDownload(second.Object(), rktest::Wide(target + "b").c_str(), false);
    std::unique_ptr<rkcurl::Request> c;

    rkcurl::MultiPerformer performer;
    Lines finished;  // each request's result; the first with the number still running then
    const auto done = [&](rkcurl::Request& request) {
        const std::string running = ", " + std::to_string(performer.Running());
        finished.push_back(std::to_string(request.Result()) + (finished.empty() ? running : ""));
    };
    performer.Add(*a, [&](rkcurl::Request& request) {
        done(request);
        // The channel's next file, on the connection it logged in with.
        first.Object().SetHREF(rktest::Wide(remote + "/c.txt").c_str());
        c = rkcurl::ftp::MakeDownload(first.Object(), rktest::Wide(target + "c").c_str(), false);
        performer.Add(*c, done);
    });
    performer.Add(*b, done);
    EXPECT_EQ(performer.Running(), 2u);
    performer.Run();

    EXPECT_EQ(finished, (Lines{"0, 1", "0", "0"}));
    EXPECT_EQ(rktest::ReadFile(target + "a"), big);
    EXPECT_EQ(rktest::ReadFile(target + "b") + rktest::ReadFile(target + "c"), "b.txtc.txt");
    // Two logins for three files, with the session's user.
    EXPECT_EQ(Only(server.Commands(), {"USER"}), (Lines{"USER rk", "USER rk"}));
    EXPECT_EQ(session.Validate(), 0);
}

}  // namespace
