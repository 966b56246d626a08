#pragma once
// The progress arithmetic shared by the window and the terminal; no system headers, so the
// unit tests take it as it is.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

struct PercentCount {
    double bytes_per_percent = 0;   // total mailbox bytes / 100, kept fractional
    std::uint64_t bytes_done = 0;   // everything reported so far
};

// The percentage to show: rounded up, at most 100. We divide the running byte total once
// instead of adding up one quotient per report: a sum of thousands of small quotients
// drifts just above a whole number and would then round up one too far. A zero base (all
// mailboxes empty) shows 0 rather than dividing by it.
inline int shown_percent(const PercentCount& count) {
    if (!(count.bytes_per_percent > 0)) return 0;
    double done = static_cast<double>(count.bytes_done) / count.bytes_per_percent;
    if (done >= 100) return 100;
    return static_cast<int>(std::ceil(done));
}

// "  7 % - parcelo": the title while the window is minimised.
inline std::string minimised_title(int percent) {
    char text[32];
    std::snprintf(text, sizeof text, "%3d %% - parcelo", percent);
    return text;
}

// "7 %": the label under the bar.
inline std::string percent_text(int percent) {
    char text[16];
    std::snprintf(text, sizeof text, "%d %%", percent);
    return text;
}

// Where a window of outer size width x height goes: centred across, 90 pixels above the
// middle down; halves round down, also below zero on a screen smaller than the window.
struct ScreenPoint {
    int x = 0;
    int y = 0;
};
inline int half_down(int value) { return value >= 0 ? value / 2 : -((1 - value) / 2); }
inline ScreenPoint centred_position(int screen_width, int screen_height, int caption_height,
                                    int width, int height) {
    return {half_down(screen_width - width),
            half_down(screen_height - height - caption_height) - 90};
}
