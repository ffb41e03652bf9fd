// A one-line progress bar on standard error for long work, redrawn in place
// at most ten times a second. It shows nothing unless enabled, which the
// programs do only when standard error is a terminal, so logs and pipes get
// no control characters.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// The bar's text for `done` of `total` units after `elapsed_seconds`:
// "[#####     ]  50%  DONE/TOTAL  DETAIL  ETA 0:12", `width` characters of
// bar. Without a total (0) the share and the estimate are left out.
std::string format_progress(uint64_t done, uint64_t total, const std::string& detail, double elapsed_seconds,
                            int width = 30);

class ProgressBar {
public:
    // `enabled`: usually stderr_is_terminal() and no --quiet.
    explicit ProgressBar(bool enabled, std::FILE* out = stderr);
    ~ProgressBar() { finish(); }

    // Redraws when a tenth of a second has passed since the last redraw, or
    // when the work is complete.
    void update(uint64_t done, uint64_t total, const std::string& detail = std::string());
    // Clears the line so that what follows starts on a clean one.
    void finish();

private:
    bool enabled_;
    bool shown_ = false;
    std::FILE* out_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_draw_;
};

// True when standard error is a terminal.
bool stderr_is_terminal();
