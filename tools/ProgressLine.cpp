#include "ProgressLine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace rktool {
namespace {

constexpr int kMinLabel = 4;
constexpr int kMaxLabel = 24;
constexpr int kMinBar = 10;
constexpr int kMaxBar = 40;

double Rate(const ProgressView& view) {
    return view.elapsedSeconds > 0 ? view.now / view.elapsedSeconds : 0;
}

std::string Fit(std::string text, int width) {
    const std::size_t room = static_cast<std::size_t>(std::max(width - 1, 1));
    if (text.size() > room) text.resize(room);
    return text;
}

std::string Label(const std::string& label, std::size_t size) {
    if (label.size() <= size) return label + std::string(size - label.size(), ' ');
    return label.substr(0, size - 1) + "~";
}

}  // namespace

std::string HumanSize(double bytes) {
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return text;
}

std::string HumanDuration(double seconds) {
    const long total = seconds > 0 && seconds < 1e8 ? static_cast<long>(std::lround(seconds)) : 0;
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

std::string FormatProgressLine(const ProgressView& view, int width) {
    const bool known = view.total > 0;
    const double whole = view.offset + view.total;
    const double doneBytes = view.offset + view.now;
    const double ratio = known ? std::min(doneBytes / whole, 1.0) : 0;
    const double rate = Rate(view);
    std::string percent;
    if (known) {
        char text[8];
        std::snprintf(text, sizeof text, "%3d%%", static_cast<int>(ratio * 100));
        percent = text;
    }
    const std::string done = HumanSize(doneBytes);
    const std::string resumed =
        view.offset > 0 ? " (resumed at " + HumanSize(view.offset) + ")" : std::string();
    const std::string sizes = (known ? done + " / " + HumanSize(whole) : done) + resumed;
    const std::string speed = HumanSize(rate) + "/s";
    const std::string elapsed = HumanDuration(view.elapsedSeconds);
    std::string left = "--:--";
    if (known && rate > 0) left = HumanDuration((view.total - view.now) / rate);

    // The statistics, richest first; each step leaves out what matters least.
    std::vector<std::string> shapes;
    const std::string lead = known ? percent + "  " : "";
    shapes.push_back(lead + sizes + "  " + speed + "  " + elapsed + " left " + left);
    shapes.push_back(lead + sizes + "  " + speed + "  left " + left);
    if (!resumed.empty()) {
        const std::string bare = known ? done + " / " + HumanSize(whole) : done;
        shapes.push_back(lead + bare + "  " + speed + "  left " + left);
    }
    shapes.push_back(lead + done + "  " + speed + "  left " + left);
    // Narrow terminals: single spaces.
    const std::string tight = known ? percent + " " : "";
    shapes.push_back(tight + done + " " + speed + " " + elapsed + " left " + left);
    shapes.push_back(tight + done + " " + speed + " left " + left);
    shapes.push_back(tight + done + " " + speed);
    shapes.push_back(known ? percent + " " + done : done);

    const int room = width - 1;
    for (const std::string& stats : shapes) {
        const int rest = room - static_cast<int>(stats.size()) - 2;  // two spaces after label
        if (rest < kMinLabel) continue;
        const int label =
            std::min({rest, kMaxLabel, std::max(static_cast<int>(view.label.size()), kMinLabel)});
        const int barRoom = rest - label - 4;  // " [" and "] "
        std::string line = Label(view.label, static_cast<std::size_t>(label)) + "  ";
        if (known && barRoom >= kMinBar) {
            const int bar = std::min(barRoom, kMaxBar);
            const int filled = static_cast<int>(ratio * bar);
            line += "[" + std::string(static_cast<std::size_t>(filled), '#') +
                    std::string(static_cast<std::size_t>(bar - filled), '-') + "] ";
        }
        return line + stats;
    }
    return Fit(shapes.back(), width);
}

std::string FormatSummaryLine(const ProgressView& view, int width) {
    const std::string stats = HumanSize(view.now) + " in " + HumanDuration(view.elapsedSeconds) +
                              " (" + HumanSize(Rate(view)) + "/s)" +
                              (view.offset > 0 ? ", resumed at " + HumanSize(view.offset) : "");
    // The figures stay whole; the label is cut to make room for them.
    const int room = width - 1 - static_cast<int>(stats.size()) - 2;
    if (room >= static_cast<int>(view.label.size())) return view.label + ": " + stats;
    if (room >= kMinLabel) return Label(view.label, static_cast<std::size_t>(room)) + ": " + stats;
    return Fit(stats, width);
}

}  // namespace rktool
