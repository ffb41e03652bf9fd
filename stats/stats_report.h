// What sismap-stats prints: a short summary for people, or one JSON object
// for programs.
#pragma once

#include <cstdint>
#include <string>

#include "tool/selection/iso_time.h"
#include "stats/gutenberg_richter.h"

struct StatsReport {
    uint64_t events = 0;
    CivilTime first{};
    CivilTime last{};
    McMethod mc_method = McMethod::maxc;
    GutenbergRichterFit fit;
};

// A number as short as it reads back within six significant digits: 1.9,
// not 1.90 or 1.9000000000000001.
std::string short_number(double value);

// Lines of the summary, each ended by a line feed.
std::string summary_text(const StatsReport& report);

// One JSON object on one line with the keys events, first, last, mc,
// mc_method, b, b_error, a and events_above_mc, ended by a line feed.
std::string json_text(const StatsReport& report);
