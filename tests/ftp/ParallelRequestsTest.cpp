// Requests of one session run at once, each on a channel of its own that keeps its login.

#include "TestFtp.h"
#include "connection/Channel.h"
#include "connection/MultiPerformer.h"
#include "ftp/FtpRequests.h"

namespace {

TEST_F(PyFtpTest, TwoRequestsOfOneSessionRunAtOnceAndAChannelCarriesTheNext) {
    const std::string big(512 * 1024, 'x');
    Make(local, {"b", "c"});
    rktest::WriteFile(local + "/a", big);
    TestFtp session;
    session.SetNeedAuthentication(1);
    session.SetUserName(L"rk");
    session.SetPassword(L"secret");
    session.SetReuseConnections(0);  // each channel keeps a cache of its own
    Open(session);
    rkcurl::Channel<CRFTP> first(session), second(session);
    const auto download = [&](rkcurl::Channel<CRFTP>& channel, const std::string& file) {
        channel.Object().SetHREF(rktest::Wide(remote + "/" + file).c_str());
        const std::wstring target = rktest::Wide(local + "/got-" + file);
        return rkcurl::ftp::MakeDownload(channel.Object(), target.c_str(), false);
    };
    auto a = download(first, "a"), b = download(second, "b");
    std::unique_ptr<rkcurl::Request> c;

    rkcurl::MultiPerformer performer;
    Lines finished;  // each request's result; the first with the number still running then
    const auto done = [&](rkcurl::Request& request) {
        const std::string running = ", " + std::to_string(performer.Running());
        finished.push_back(std::to_string(request.Result()) + (finished.empty() ? running : ""));
    };
    performer.Add(*a, [&](rkcurl::Request& request) {
        done(request);
        c = download(first, "c");  // on the connection the channel logged in with
        performer.Add(*c, done);
    });
    performer.Add(*b, done);
    performer.Run();

    EXPECT_EQ(finished, (Lines{"0, 1", "0", "0"}));
    EXPECT_EQ(rktest::ReadFile(local + "/got-a"), big);
    EXPECT_EQ(rktest::ReadFile(local + "/got-b") + rktest::ReadFile(local + "/got-c"), "bc");
    EXPECT_EQ(Only(server.Commands(), {"USER"}), (Lines{"USER rk", "USER rk"}));  // 3 files
}

}  // namespace
