// Measures, in one run and against the same in-process server:
//  - downloads of 1 GiB by GetPage (into the response text), GetFile (to a file and to
//    /dev/null) and GetBuffer (into a caller's block of exactly the body's size);
//  - uploads of 256 MiB by PostBuffer and PostFile;
//  - 1,000 small GetPage requests with connection reuse off and on;
// each next to plain libcurl making the same request (the same multipart form) into the same
// sink. Every transfer runs in a child process of its own, so that its peak memory can be read
// (growth of the resident set over the transfer, the caller's own blocks excluded).
// Ratio = plain time / library time: 1.00 means as fast as plain libcurl.
// Virtual machines back guest memory on first touch, which can cost more than a transfer; the
// program touches (and frees) 6 GiB once at the start so that this cost lands on no case.
// --quick divides every size by 16; words after it pick cases by name. Each figure is the median of
// five rounds.
#include <curl/curl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchServer.h"
#include "RKCurl/RKCurl.h"
#include "ResidentSet.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Outcome {
    double seconds = 0;
    long peakGrowthKiB = 0;
    int ok = 0;
};

// Runs setup, then work, in a child process; reports work's time and the peak resident growth.
Outcome InChild(const std::function<void()>& setup, const std::function<bool()>& work) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) std::exit(1);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        setup();
        const long start = rkbench::ResetPeakKiB();  // peak := current resident set
        const auto begin = Clock::now();
        Outcome outcome;
        outcome.ok = work() ? 1 : 0;
        outcome.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        outcome.peakGrowthKiB = rkbench::PeakKiB() - start;
        if (write(pipeEnds[1], &outcome, sizeof outcome) != sizeof outcome) _exit(1);
        _exit(0);
    }
    close(pipeEnds[1]);
    Outcome outcome;
    if (read(pipeEnds[0], &outcome, sizeof outcome) != sizeof outcome) outcome.ok = 0;
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return outcome;
}

void WarmMemory(std::size_t bytes) {
    void* const block =
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return;
    std::memset(block, 1, bytes);
    munmap(block, bytes);
}

// ---- plain libcurl: the same request (form "submit" = "send") into the same sink ----------

size_t AppendToString(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

size_t WriteToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<std::FILE*>(file));
}

struct Block {
    unsigned char* cursor;
    std::size_t room;
};
size_t WriteToBlock(char* data, size_t size, size_t count, void* target) {
    Block& block = *static_cast<Block*>(target);
    const std::size_t n = std::min(size * count, block.room);
    std::memcpy(block.cursor, data, n);
    block.cursor += n;
    block.room -= n;
    return n;
}

struct PlainRequest {
    CURL* curl = curl_easy_init();
    curl_httppost* first = nullptr;
    curl_httppost* last = nullptr;
    std::string response;

    explicit PlainRequest(const std::string& url) {
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &AppendToString);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, static_cast<void*>(&response));
    }
    ~PlainRequest() {
        curl_easy_cleanup(curl);
        curl_formfree(first);
    }
    void Sink(curl_write_callback function, void* data) {
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, function);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, data);
    }
    bool Perform() {
        curl_formadd(&first, &last, CURLFORM_COPYNAME, "submit", CURLFORM_COPYCONTENTS, "send",
                     CURLFORM_END);
        curl_easy_setopt(curl, CURLOPT_HTTPPOST, first);
        return curl_easy_perform(curl) == CURLE_OK;
    }
};

// ---- the cases ------------------------------------------------------------------------------

struct Case {
    std::string name;
    std::function<void()> setup;  // before the measurement, in the child
    std::function<bool()> library;
    std::function<bool()> plain;
};

std::wstring g_host;
std::string g_url;

CRHTTP Client(const std::wstring& href) {
    CRHTTP client;
    client.SetServer(g_host.c_str());
    client.SetHREF(href.c_str());
    return client;
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

void Report(const std::string& name, const std::vector<Outcome>& library,
            const std::vector<Outcome>& plain) {
    auto median = [](std::vector<Outcome> v, bool time) {
        std::sort(v.begin(), v.end(), [time](const Outcome& a, const Outcome& b) {
            return time ? a.seconds < b.seconds : a.peakGrowthKiB < b.peakGrowthKiB;
        });
        return v[v.size() / 2];
    };
    bool ok = true;
    for (const Outcome& o : library) ok = ok && o.ok;
    for (const Outcome& o : plain) ok = ok && o.ok;
    const Outcome lib = median(library, true);
    const Outcome ref = median(plain, true);
    std::printf("%-34s %9.3f s %9.3f s %6.2f %10ld KiB %10ld KiB%s\n", name.c_str(), lib.seconds,
                ref.seconds, ref.seconds / lib.seconds, median(library, false).peakGrowthKiB,
                median(plain, false).peakGrowthKiB, ok ? "" : "  FAILED");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    // Arguments: --quick, and any words: then only the cases whose names contain one run.
    bool quick = false;
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else {
            only.emplace_back(argv[i]);
        }
    }
    const std::size_t divisor = quick ? 16 : 1;
    const int rounds = 5;
    const std::size_t download = (std::size_t(1) << 30) / divisor;
    const std::size_t upload = (std::size_t(256) << 20) / divisor;

    WarmMemory(std::size_t(6) << 30);
    BenchServer server;
    g_host = server.Host();
    g_url = "http://127.0.0.1:" + std::to_string(server.Port());
    const std::string bytes = "/bytes/" + std::to_string(download);
    char folder[] = "/tmp/rkcurl-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    const std::string file = std::string(folder) + "/body.bin";
    const std::string uploadFile = std::string(folder) + "/upload.bin";
    {
        std::ofstream out(uploadFile, std::ios::binary);
        const std::string chunk(1 << 20, 'u');
        for (std::size_t done = 0; done < upload; done += chunk.size()) {
            out.write(chunk.data(),
                      static_cast<std::streamsize>(std::min(chunk.size(), upload - done)));
        }
    }

    // The caller's blocks of the buffer cases, made (and touched) before the measurement.
    static std::unique_ptr<unsigned char[]> callerBlock;
    const auto makeBlock = [](std::size_t size, bool fill) {
        return [size, fill] {
            callerBlock.reset(new unsigned char[size]);
            std::memset(callerBlock.get(), fill ? 'u' : 0, size);
        };
    };
    const auto nothing = [] {};

    std::vector<Case> cases;
    cases.push_back({"GetPage " + std::to_string(download >> 20) + " MiB -> response", nothing,
                     [&] {
                         CRHTTP c = Client(Wide(bytes));
                         std::size_t length = 0;
                         return c.GetPage() == 0 && c.GetResponse(nullptr, 0, length) == 0 &&
                                length == download;
                     },
                     [&] {
                         PlainRequest p(g_url + bytes);
                         p.Perform();
                         return p.response.size() == download;
                     }});
    for (const std::string& target : {file, std::string("/dev/null")}) {
        cases.push_back({"GetFile -> " + std::string(target == file ? "file" : "/dev/null"),
                         nothing,
                         [&, target] {
                             CRHTTP c = Client(Wide(bytes));
                             return c.GetFile(Wide(target).c_str()) == 0;
                         },
                         [&, target] {
                             PlainRequest p(g_url + bytes);
                             std::FILE* out = std::fopen(target.c_str(), "wb");
                             p.Sink(&WriteToFile, out);
                             const bool ok = p.Perform();
                             std::fclose(out);
                             return ok;
                         }});
    }
    // The same transfer into the caller's block, through the library and through plain libcurl.
    const auto libraryGetBuffer = [&] {
        CRHTTP c = Client(Wide(bytes));
        std::uint64_t received = 0;
        return c.GetBuffer(download, callerBlock.get(), received) == 0 && received == download;
    };
    const auto plainGetBuffer = [&] {
        PlainRequest p(g_url + bytes);
        Block block{callerBlock.get(), download};
        p.Sink(&WriteToBlock, &block);
        return p.Perform() && block.room == 0;
    };
    cases.push_back({"GetBuffer -> caller's block", makeBlock(download, false), libraryGetBuffer,
                     plainGetBuffer});
    // A host that downloads repeatedly: the first call, outside the measurement, has the
    // memory of its receive block mapped in once already.
    cases.push_back({"GetBuffer, repeated call",
                     [&, makeBlock] {
                         makeBlock(download, false)();
                         CRHTTP c = Client(Wide(bytes));
                         std::uint64_t received = 0;
                         c.GetBuffer(download, callerBlock.get(), received);
                     },
                     libraryGetBuffer, plainGetBuffer});
    cases.push_back({"PostBuffer " + std::to_string(upload >> 20) + " MiB", makeBlock(upload, true),
                     [&] {
                         CRHTTP c = Client(L"/discard");
                         return c.PostBuffer(callerBlock.get(), static_cast<int>(upload)) == 0;
                     },
                     [&] {
                         PlainRequest p(g_url + "/discard");
                         curl_formadd(&p.first, &p.last, CURLFORM_COPYNAME, "file_buffer",
                                      CURLFORM_BUFFER, "file_buffer", CURLFORM_BUFFERPTR,
                                      static_cast<const void*>(callerBlock.get()),
                                      CURLFORM_BUFFERLENGTH, static_cast<long>(upload),
                                      CURLFORM_END);
                         return p.Perform();
                     }});
    cases.push_back({"PostFile " + std::to_string(upload >> 20) + " MiB", nothing,
                     [&] {
                         CRHTTP c = Client(L"/discard");
                         return c.PostFile(Wide(uploadFile).c_str(), nullptr) == 0;
                     },
                     [&] {
                         PlainRequest p(g_url + "/discard");
                         curl_formadd(&p.first, &p.last, CURLFORM_COPYNAME, "FileField",
                                      CURLFORM_FILE, uploadFile.c_str(), CURLFORM_END);
                         return p.Perform();
                     }});
    for (const int reuse : {0, 1}) {
        cases.push_back({std::string("1,000 GetPage, reuse ") + (reuse ? "on" : "off"), nothing,
                         [&, reuse] {
                             CRHTTP c = Client(L"/page");
                             c.SetReuseConnections(reuse);
                             for (int i = 0; i < 1000; ++i) {
                                 if (c.GetPage() != 0) return false;
                             }
                             return true;
                         },
                         [&] {  // plain libcurl keeps one handle, and so its connection
                             PlainRequest p(g_url + "/page");
                             for (int i = 0; i < 1000; ++i) {
                                 curl_formfree(p.first);
                                 p.first = p.last = nullptr;
                                 if (!p.Perform()) return false;
                             }
                             return true;
                         }});
    }

    std::printf("%-34s %11s %11s %6s %14s %14s\n", "case (median of rounds)", "library", "plain",
                "ratio", "lib peak +", "plain peak +");
    for (const Case& c : cases) {
        if (!only.empty() && std::none_of(only.begin(), only.end(), [&](const std::string& word) {
                return c.name.find(word) != std::string::npos;
            })) {
            continue;
        }
        std::vector<Outcome> library, plain;
        for (int round = 0; round < rounds; ++round) {
            library.push_back(InChild(c.setup, c.library));
            plain.push_back(InChild(c.setup, c.plain));
        }
        Report(c.name, library, plain);
    }
    std::remove(file.c_str());
    std::remove(uploadFile.c_str());
    rmdir(folder);
    return 0;
}
