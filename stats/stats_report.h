// What sismap-stats prints: a short summary for people, or one JSON object
// for programs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tool/selection/iso_time.h"
#include "stats/gutenberg_richter.h"

struct StatsReport {
    uint64_t events = 0;
    CivilTime first{};
    CivilTime last{};
    McMethod mc_method = McMethod::maxc;
    double mc = 0.0;
    uint64_t events_above_mc = 0;
    double bin_width = 0.1;
    std::optional<GutenbergRichterFit> fit;  // empty: fewer than two bins at or above Mc
};

// A number as short as it reads back within six significant digits: 1.9,
// not 1.90 or 1.9000000000000001.
std::string short_number(double value);

// Lines of the summary, each ended by a line feed.
std::string summary_text(const StatsReport& report);

// One JSON object on one line with the keys events, first, last, mc,
// mc_method, b, b_error, a and events_above_mc, ended by a line feed; b,
// b_error and a are null when there is no b.
std::string json_text(const StatsReport& report);

// Why there is no b, for the summary: "no b-value: the 100 events at or
// above Mc lie in fewer than two bins of 0.1".
std::string no_b_reason(uint64_t events_above_mc, double bin_width);
