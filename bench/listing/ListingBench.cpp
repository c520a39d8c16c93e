// ParseListLine over a generated listing of one million lines, next to a plain memchr split of
// the same buffer in the same run; prints how many times longer parsing takes than splitting.
//
// Benchmarks:
//   Split          - only finding the line ends with memchr
//   SplitAndParse  - the enumeration loop: find each line end and parse the line
//   Parse          - ParseListLine alone over lines split beforehand
// Heap allocations made while a benchmark runs are counted, so a per-line allocation shows.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "HeapCounter.h"
#include "SyntheticListing.h"
#include "ftp/listing/ListLineParser.h"

namespace {

constexpr std::size_t kLines = 1000000;

const std::string& Listing() {
    static const std::string listing = listingbench::MakeSyntheticListing(kLines);
    return listing;
}

struct LineRef {
    const char* start;
    int length;
};

const std::vector<LineRef>& Lines() {
    static const std::vector<LineRef> lines = [] {
        std::vector<LineRef> out;
        out.reserve(kLines);
        const std::string& text = Listing();
        const char* p = text.data();
        const char* end = p + text.size();
        while (const char* eol = static_cast<const char*>(std::memchr(p, '\n', end - p))) {
            out.push_back({p, static_cast<int>(eol - p)});
            p = eol + 1;
        }
        return out;
    }();
    return lines;
}

void Report(benchmark::State& state, long allocationsBefore) {
    const long allocations = listingbench::HeapAllocations() - allocationsBefore;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kLines));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Listing().size()));
    state.counters["allocs/line"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations() * kLines);
}

void Split(benchmark::State& state) {
    const std::string& text = Listing();
    const long before = listingbench::HeapAllocations();
    for (auto _ : state) {
        const char* p = text.data();
        const char* end = p + text.size();
        long sum = 0;
        while (const char* eol = static_cast<const char*>(std::memchr(p, '\n', end - p))) {
            sum += eol - p;
            p = eol + 1;
        }
        benchmark::DoNotOptimize(sum);
    }
    Report(state, before);
}

void SplitAndParse(benchmark::State& state) {
    const std::string& text = Listing();
    const long before = listingbench::HeapAllocations();
    for (auto _ : state) {
        const char* p = text.data();
        const char* end = p + text.size();
        long accepted = 0;
        rklisting::FtpListEntry entry;
        while (const char* eol = static_cast<const char*>(std::memchr(p, '\n', end - p))) {
            accepted += rklisting::ParseListLine(entry, p, static_cast<int>(eol - p));
            benchmark::DoNotOptimize(entry);
            p = eol + 1;
        }
        benchmark::DoNotOptimize(accepted);
    }
    Report(state, before);
}

void Parse(benchmark::State& state) {
    const std::vector<LineRef>& lines = Lines();
    const long before = listingbench::HeapAllocations();
    for (auto _ : state) {
        long accepted = 0;
        rklisting::FtpListEntry entry;
        for (const LineRef& line : lines) {
            accepted += rklisting::ParseListLine(entry, line.start, line.length);
            benchmark::DoNotOptimize(entry);
        }
        benchmark::DoNotOptimize(accepted);
    }
    Report(state, before);
}

BENCHMARK(Split)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(SplitAndParse)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(Parse)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Keeps the best CPU seconds per iteration of each benchmark, for the ratio printed at the end.
// CPU time rather than wall time: on a shared machine it leaves out the time other processes
// held the core.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that logs stay plain text.
    RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) {
                continue;
            }
            const double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            auto [it, inserted] = best_.emplace(run.run_name.function_name, seconds);
            if (!inserted) it->second = std::min(it->second, seconds);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintSummary() const {
        const auto split = best_.find("Split");
        if (split == best_.end()) return;
        const double bytes = static_cast<double>(Listing().size());
        std::printf("\n%zu lines, %.1f MB, %.1f bytes a line\n", kLines, bytes / 1e6,
                    bytes / static_cast<double>(kLines));
        std::printf("%-14s %10.2f ms CPU\n", "Split", split->second * 1e3);
        for (const char* name : {"SplitAndParse", "Parse"}) {
            const auto it = best_.find(name);
            if (it == best_.end()) continue;
            std::printf("%-14s %10.2f ms CPU  %6.1f M lines/s  %7.1f MB/s  %5.2fx the split\n",
                        name, it->second * 1e3, static_cast<double>(kLines) / it->second / 1e6,
                        bytes / it->second / 1e6, it->second / split->second);
        }
    }

private:
    std::map<std::string, double> best_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Lines();  // generate outside the timed loops
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
