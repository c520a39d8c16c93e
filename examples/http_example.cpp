// Posts a form with RKCurl and prints the page, as a host program would.
//
// usage: http_example HOST[:PORT] /PATH [NAME VALUE]...
#include <RKCurl/RKCurl.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::printf("usage: %s HOST[:PORT] /PATH [NAME VALUE]...\n", argv[0]);
        return 0;
    }
    CRHTTP http;
    http.SetServer(oru::helper::NarStrToWideStr(argv[1]).c_str());
    http.SetHREF(oru::helper::NarStrToWideStr(argv[2]).c_str());
    for (int i = 3; i + 1 < argc; i += 2) {
        http.AddMultiPartField(oru::helper::NarStrToWideStr(argv[i]).c_str(),
                               oru::helper::NarStrToWideStr(argv[i + 1]).c_str());
    }
    // Every request returns 0 or an RKERR_ code, which Validate() also reports afterwards.
    if (http.GetPage() != 0) {
        std::fprintf(stderr, "page failed: code %d\n", http.Validate());
        return 1;
    }
    // Size 0 asks only for the length; then copy the body out.
    std::size_t length = 0;
    http.GetResponse(nullptr, 0, length);
    std::vector<char> body(length);
    if (length != 0) http.GetResponse(body.data(), body.size(), length);
    std::fwrite(body.data(), 1, length, stdout);
    return 0;
}
