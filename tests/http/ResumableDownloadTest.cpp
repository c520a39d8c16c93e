// CRHTTP::GetFileTo: whole downloads through a file beside the target, resumed ones with a range
// request, against a server that honours ranges (/bytes) and one that ignores them (/whole).
#include <sys/stat.h>

#include <filesystem>

#include "HttpTestSupport.h"

namespace rktest {
namespace {

const std::string kBody = PatternBytes(1000);
const std::string kPart = kBody.substr(0, 300);

// A file in dir beside the target (a temporary file filling, or one left behind), or "".
std::string Beside(const std::string& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename() != "target") return entry.path().string();
    return "";
}

unsigned ModeOf(const std::string& path) {
    return static_cast<unsigned>(std::filesystem::status(path).permissions());
}

unsigned g_modeWhileFilling = 0;
std::string g_folder;
int NotePartMode(void*, double, double, double, double) {
    const std::string part = Beside(g_folder);
    if (!part.empty()) g_modeWhileFilling = ModeOf(part);
    return 0;
}

class ResumableDownloadTest : public HttpServerTest {};

// The file beside the target is the owner's alone while it fills; once in place it has the
// replaced file's mode bits, or a new file's.

TEST_F(ResumableDownloadTest, WholeOrResumedNeverCorruptsTheLocalFileNorItsMode) {
    const struct {
        const char* what;
        const wchar_t* href;
        const std::string* before;  // the local file's contents (mode 0604); null: no file
        int resume;
        int extended;  // 0: success
        std::string after;
        const char* range;  // the Range header the server saw
    } cases[] = {
        {"whole, new file", L"/bytes/1000", nullptr, 0, 0, kBody, ""},
        {"whole, replaced", L"/bytes/1000", &kPart, 0, 0, kBody, ""},
        {"whole, 404 leaves the old file", L"/status/404", &kPart, 0, CURLE_HTTP_RETURNED_ERROR,
         kPart, ""},
        {"resumed", L"/bytes/1000", &kPart, 1, 0, kBody, "bytes=300-"},
        {"resumed, no file yet", L"/bytes/1000", nullptr, 1, 0, kBody, ""},
        {"resumed, complete already (416)", L"/bytes/1000", &kBody, 1, 0, kBody, "bytes=1000-"},
        {"resumed, longer than the remote", L"/bytes/700", &kBody, 1, CURLE_BAD_DOWNLOAD_RESUME,
         kBody, "bytes=1000-"},
        {"resumed, range ignored", L"/whole/1000", &kPart, 1, CURLE_RANGE_ERROR, kPart,
         "bytes=300-"},
        {"resumed, 404 leaves the part", L"/status/404", &kPart, 1, CURLE_HTTP_RETURNED_ERROR,
         kPart, "bytes=300-"},
    };
    const mode_t mask = umask(022);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        g_folder = dir.Path();
        g_modeWhileFilling = 0;
        if (c.before != nullptr) WriteFile(dir.Path("target"), *c.before);
        chmod(dir.Path("target").c_str(), 0604);
        Server().ClearRequests();
        TestHttp client = ClientFor(c.href);
        client.SetWriteCallbackFunc(&Sink);
        client.SetProgressCallback(&NotePartMode);
        EXPECT_EQ(client.GetFileTo(dir.WidePath("target").c_str(), c.resume),
                  c.extended == 0 ? 0 : RKERR_PERFORM);
        EXPECT_EQ(client.m_error.whatEx(), c.extended);
        EXPECT_EQ(ReadFile(dir.Path("target")), c.after);
        EXPECT_EQ(Beside(dir.Path()), "");
        EXPECT_EQ(g_modeWhileFilling, c.resume ? 0u : 0600u);
        EXPECT_EQ(ModeOf(dir.Path("target")), c.before != nullptr ? 0604u : 0644u);
        EXPECT_EQ(Recorded().at(0).method, "GET");  // no form
        EXPECT_EQ(Recorded().at(0).Header("range"), c.range);
        EXPECT_EQ(client.m_writeCallback, &Sink);
    }
    umask(mask);
}

}  // namespace
}  // namespace rktest
