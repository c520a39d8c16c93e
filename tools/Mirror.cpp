#include "Mirror.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Failure.h"
#include "Progress.h"
#include "ProgressLine.h"
#include "Session.h"
#include "Signals.h"

namespace rktool {
namespace {

constexpr int kDefaultParallel = 4;

const char* ActionName(int action) {
    switch (action) {
        case RKTREE_UNCHANGED:
            return "unchanged";
        case RKTREE_COPIED:
            return "copy";
        case RKTREE_UPDATED:
            return "update";
        case RKTREE_DELETED:
            return "delete";
        case RKTREE_CREATED_DIRECTORY:
            return "mkdir";
        case RKTREE_FAILED:
            return "failed";
        case RKTREE_REFUSED:
            return "refused";
        case RKTREE_SKIPPED:
            return "skip";
    }
    return "?";
}

// The plan of a dry run on standard output: one line per entry that would change.
void PrintPlan(const std::vector<CRTreeEntry>& report) {
    std::string out;
    for (const CRTreeEntry& entry : report) {
        if (entry.action == RKTREE_UNCHANGED) continue;
        out += std::string(ActionName(entry.action)) + " " + Narrow(entry.path) + "\n";
    }
    WriteStdout(out.data(), out.size());
}

// One line on standard error per failed or refused entry.
void PrintFailures(const std::vector<CRTreeEntry>& report) {
    for (const CRTreeEntry& entry : report) {
        if (entry.action != RKTREE_FAILED && entry.action != RKTREE_REFUSED) continue;
        oru::shared::error::CRKError error(entry.code);
        error.m_extendedCode = entry.extendedCode;
        const std::string why = entry.action == RKTREE_REFUSED && entry.extendedCode == 0
                                    ? "not a safe name here, or too deep"
                                    : FailureText(error);
        ReportProblem(std::string(ActionName(entry.action)) + " " + Narrow(entry.path) + ": " + why,
                      kExitFailed);
    }
}

std::string Summary(const std::vector<CRTreeEntry>& report, double seconds) {
    int counts[8] = {};
    double bytes = 0;
    for (const CRTreeEntry& entry : report) {
        if (entry.action >= 0 && entry.action < 8) ++counts[entry.action];
        bytes += static_cast<double>(entry.bytes);
    }
    return "copied " + std::to_string(counts[RKTREE_COPIED]) + ", updated " +
           std::to_string(counts[RKTREE_UPDATED]) + ", deleted " +
           std::to_string(counts[RKTREE_DELETED]) + ", unchanged " +
           std::to_string(counts[RKTREE_UNCHANGED]) + ", failed " +
           std::to_string(counts[RKTREE_FAILED] + counts[RKTREE_REFUSED]) + "; " +
           HumanSize(bytes) + " in " + HumanDuration(seconds);
}

}  // namespace

int RunMirror(const ParsedArguments& args, const CommonSettings& settings) {
    int status = kExitOk;
    const bool up = args.Has("reverse");
    if (!OperandsOk(args, 2, 2, "mirror [OPTIONS] URL DIR, or mirror -R [OPTIONS] DIR URL",
                    status)) {
        return status;
    }
    const std::string& urlText = args.operands[up ? 1 : 0];
    const std::string& directory = args.operands[up ? 0 : 1];
    int parallel = kDefaultParallel;
    if (const auto value = args.Value("parallel")) {
        char* end = nullptr;
        const long n = std::strtol(value->c_str(), &end, 10);
        if (value->empty() || *end != '\0' || n < 1 || n > 16) {
            return ReportProblem("-P wants a number of connections from 1 to 16", kExitUsage);
        }
        parallel = static_cast<int>(n);
    }
    Session session;
    status = OpenSession(urlText, Protocol::Ftp, settings, session);
    if (status != kExitOk) return status;
    CRFTP ftp;
    Configure(ftp, session);
    ftp.SetHREF(Wide(DecodePath(session.url.DirectoryPath())).c_str());
    ftp.SetTreeConnections(parallel);
    ftp.SetTreeDelete(args.Has("delete") ? 1 : 0);
    ftp.SetTreeDryRun(args.Has("dry-run") ? 1 : 0);
    ftp.SetTreeKeepTimes(args.Has("no-times") ? 0 : 1);
    if (args.Has("only-missing")) ftp.SetTreeCompare(RKTREE_MISSING);
    if (args.Has("checksum")) ftp.SetTreeCompare(RKTREE_CHECKSUM);

    const auto started = std::chrono::steady_clock::now();
    BeginProgress(session.showProgress && !args.Has("dry-run"), BaseName(directory),
                  up ? Direction::Upload : Direction::Download);
    const std::wstring local = Wide(directory);
    const int result =
        up ? ftp.PutDirectoryTree(local.c_str(), L"") : ftp.GetDirectoryTree(L"", local.c_str());
    FinishProgress();
    const std::vector<CRTreeEntry> report = ftp.GetTreeReport();
    if (result != 0 && report.empty()) return ReportFailure(ftp.GetError(), ftp.GetHeaderText());
    if (args.Has("dry-run")) PrintPlan(report);
    PrintFailures(report);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    Note(session, Summary(report, seconds));
    if (Interrupted()) return kExitInterrupted;
    return result == 0 ? kExitOk : kExitFailed;
}

}  // namespace rktool
