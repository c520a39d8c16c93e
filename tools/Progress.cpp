#include "Progress.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ProgressLine.h"
#include "Signals.h"

namespace rktool {
namespace {

struct BarState {
    bool show = false;
    bool drawn = false;
    bool terminal = false;
    Direction direction = Direction::Download;
    std::string label;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDraw;
    double total = 0;
    double now = -1;
    double offset = 0;
};
BarState g_bar;

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Into a file or pipe a line of its own, and not as often.
constexpr auto kFileInterval = std::chrono::seconds(1);

// The terminal's width (TIOCGWINSZ), else $COLUMNS, else 80.
int Width() {
#if defined(_WIN32)
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info) != 0) {
        const int columns = info.srWindow.Right - info.srWindow.Left + 1;
        if (columns > 0) return columns;
    }
#else
    struct winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
    if (const char* columns = std::getenv("COLUMNS")) {
        const int value = std::atoi(columns);
        if (value > 0) return value;
    }
    return 80;
}

ProgressView View() {
    ProgressView view;
    view.label = g_bar.label;
    view.total = g_bar.total;
    view.now = std::max(g_bar.now, 0.0);
    view.offset = g_bar.offset;
    view.elapsedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - g_bar.start).count();
    return view;
}

// The line is drawn over the previous one on a terminal; padding clears what it left over.
void Put(const std::string& text, bool finalLine) {
    std::string line = text;
    if (g_bar.terminal) {
        const std::size_t room = static_cast<std::size_t>(std::max(Width() - 1, 1));
        if (line.size() < room) line.append(room - line.size(), ' ');
        line = "\r" + line;
        if (finalLine) line += "\n";
    } else {
        line += "\n";
    }
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

void Draw() {
    Put(FormatProgressLine(View(), Width()), false);
    g_bar.drawn = true;
}

}  // namespace

void BeginProgress(bool show, const std::string& label, Direction direction, double offset) {
    FinishProgress();
    g_bar = BarState{};
    g_bar.show = show;
    g_bar.terminal = isatty(STDERR_FILENO) != 0;
    g_bar.direction = direction;
    g_bar.label = label;
    g_bar.offset = offset;
    g_bar.start = std::chrono::steady_clock::now();
}

void SetProgressOffset(double offset) {
    g_bar.offset = offset;
}

void FinishProgress() {
    // One summary line in place of the progress line, once something moved.
    if (g_bar.show && g_bar.now >= 0) Put(FormatSummaryLine(View(), Width()), true);
    g_bar.show = false;
    g_bar.drawn = false;
}

int ProgressCallback(void*, double downloadTotal, double downloadNow, double uploadTotal,
                     double uploadNow) {
    if (Interrupted()) return 1;  // libcurl stops the transfer with result 42
    if (!g_bar.show) return 0;
    const bool upload = g_bar.direction == Direction::Upload;
    const double total = upload ? uploadTotal : downloadTotal;
    const double now = upload ? uploadNow : downloadNow;
    // Nothing moved yet: keep the line clean (into a file, not even the total).
    if (now <= 0 && (total <= 0 || !g_bar.terminal)) return 0;
    const auto clock = std::chrono::steady_clock::now();
    if (now == g_bar.now && g_bar.drawn) return 0;
    g_bar.total = total;
    g_bar.now = now;
    const auto interval =
        g_bar.terminal ? kRedrawInterval : std::chrono::steady_clock::duration(kFileInterval);
    // The last step is always drawn, so the line ends at 100%.
    const bool complete = total > 0 && now >= total;
    if (!complete && g_bar.drawn && clock - g_bar.lastDraw < interval) return 0;
    g_bar.lastDraw = clock;
    Draw();
    return 0;
}

}  // namespace rktool
