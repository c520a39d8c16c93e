// The text of the progress line and of the summary that replaces it: a pure function of what
// moved and how long it took, so that its shape depends only on the width it is given.
#pragma once

#include <string>

namespace rktool {

struct ProgressView {
    std::string label;
    double total = 0;  // bytes of this transfer; 0 when unknown
    double now = 0;
    // Bytes the file had before a resumed transfer: the line shows the whole file, the rate
    // and the time left count this transfer only.
    double offset = 0;
    double elapsedSeconds = 0;
};

// "name  [#####-----]  45%  1.4 MiB / 3.0 MiB  2.1 MiB/s  0:01 left 0:02", at most width - 1
// ("1.4 MiB / 3.0 MiB (resumed at 1.0 MiB)" after an offset)
// characters (the last column stays free so that a terminal never wraps): the bar, then the
// elapsed time, then the total give way to narrower terminals, and the label is cut last.
std::string FormatProgressLine(const ProgressView& view, int width);

// "name: 3.0 MiB in 0:02 (1.5 MiB/s)", with ", resumed at 1.0 MiB" after an offset; cut to
// width - 1.
std::string FormatSummaryLine(const ProgressView& view, int width);

// "1.5 MiB", "312 B": sizes for people; "0:07", "1:02:03": durations.
std::string HumanSize(double bytes);
std::string HumanDuration(double seconds);

}  // namespace rktool
