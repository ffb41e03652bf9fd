// Progress bar: the text is built by a plain function the tests drive; the
// class only decides when to draw it.
#include "tool/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

std::string format_progress(uint64_t done, uint64_t total, const std::string& detail, double elapsed_seconds,
                            int width) {
    std::string text;
    char number[96];
    if (total > 0) {
        const uint64_t shown = std::min(done, total);
        const double share = static_cast<double>(shown) / static_cast<double>(total);
        const int filled = static_cast<int>(share * width);
        text += '[';
        text.append(static_cast<size_t>(filled), '#');
        text.append(static_cast<size_t>(width - filled), ' ');
        text += ']';
        std::snprintf(number, sizeof number, " %3d%%  %llu/%llu", static_cast<int>(share * 100.0),
                      static_cast<unsigned long long>(shown), static_cast<unsigned long long>(total));
        text += number;
    } else {
        std::snprintf(number, sizeof number, "%llu", static_cast<unsigned long long>(done));
        text += number;
    }
    if (!detail.empty()) text += "  " + detail;
    if (total > 0 && done > 0 && done < total && elapsed_seconds > 0.0) {
        const double left = elapsed_seconds * static_cast<double>(total - done) / static_cast<double>(done);
        const long seconds = std::lround(left);
        std::snprintf(number, sizeof number, "  ETA %ld:%02ld", seconds / 60, seconds % 60);
        text += number;
    }
    return text;
}

ProgressBar::ProgressBar(bool enabled, std::FILE* out)
    : enabled_(enabled), out_(out), start_(std::chrono::steady_clock::now()), last_draw_() {}

void ProgressBar::update(uint64_t done, uint64_t total, const std::string& detail) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    const bool complete = total > 0 && done >= total;
    if (shown_ && !complete && now - last_draw_ < std::chrono::milliseconds(100)) return;
    last_draw_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    // "\r" back to the line's start, "\033[K" clears what a longer line left.
    std::fprintf(out_, "\r%s\033[K", format_progress(done, total, detail, elapsed).c_str());
    std::fflush(out_);
    shown_ = true;
}

void ProgressBar::finish() {
    if (!enabled_ || !shown_) return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    shown_ = false;
}

bool stderr_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }
