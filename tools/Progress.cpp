#include "Progress.h"

#include <signal.h>

#include <chrono>
#include <csignal>
#include <cstdio>

namespace rktool {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

struct BarState {
    bool show = false;
    bool drawn = false;
    Direction direction = Direction::Download;
    std::string label;
    std::chrono::steady_clock::time_point lastDraw;
    double lastNow = -1;
};
BarState g_bar;

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

extern "C" void OnInterrupt(int) {
    g_interrupted = 1;
}

void Draw(double total, double now) {
    char line[160];
    const std::string done = HumanSize(now);
    if (total > 0) {
        const double ratio = now >= total ? 1.0 : now / total;
        const int filled = static_cast<int>(ratio * kBarWidth);
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.append(static_cast<std::size_t>(kBarWidth - filled), '-');
        std::snprintf(line, sizeof line, "\r%-20.20s [%s] %3d%% %s / %s", g_bar.label.c_str(),
                      bar.c_str(), static_cast<int>(ratio * 100), done.c_str(),
                      HumanSize(total).c_str());
    } else {
        std::snprintf(line, sizeof line, "\r%-20.20s %s", g_bar.label.c_str(), done.c_str());
    }
    std::fputs(line, stderr);
    std::fflush(stderr);
    g_bar.drawn = true;
}

}  // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // the second Ctrl-C is not caught
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() {
    return g_interrupted != 0;
}

void BeginProgress(bool show, const std::string& label, Direction direction) {
    FinishProgress();
    g_bar = BarState{};
    g_bar.show = show;
    g_bar.direction = direction;
    g_bar.label = label;
}

void FinishProgress() {
    if (g_bar.drawn) {
        std::fputs("\n", stderr);
        std::fflush(stderr);
    }
    g_bar.drawn = false;
}

int ProgressCallback(void*, double downloadTotal, double downloadNow, double uploadTotal,
                     double uploadNow) {
    if (g_interrupted != 0) return 1;  // libcurl stops the transfer with result 42
    if (!g_bar.show) return 0;
    const bool upload = g_bar.direction == Direction::Upload;
    const double total = upload ? uploadTotal : downloadTotal;
    const double now = upload ? uploadNow : downloadNow;
    if (now <= 0 && total <= 0) return 0;  // nothing moved yet: keep the line clean
    const auto clock = std::chrono::steady_clock::now();
    const bool complete = total > 0 && now >= total;
    if (now == g_bar.lastNow && g_bar.drawn) return 0;
    if (!complete && g_bar.drawn && clock - g_bar.lastDraw < kRedrawInterval) return 0;
    g_bar.lastDraw = clock;
    g_bar.lastNow = now;
    Draw(total, now);
    return 0;
}

std::string HumanSize(double bytes) {
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0) {
        std::snprintf(text, sizeof text, "%.0f %s", bytes, units[unit]);
    } else {
        std::snprintf(text, sizeof text, "%.1f %s", bytes, units[unit]);
    }
    return text;
}

}  // namespace rktool
