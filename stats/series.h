// b and Mc through time: windows of a fixed number of consecutive events,
// in time order, each a fixed number of events after the one before, the
// last ending at the last event.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "stats/gutenberg_richter.h"
#include "stats/magnitude_bins.h"

struct SeriesWindow {
    size_t first = 0;  // positions in time order, both included
    size_t last = 0;
    double first_time = 0.0;
    double last_time = 0.0;
    std::optional<double> mc;  // empty when the method found none
    McMethod mc_method = McMethod::maxc;
    uint64_t events_above_mc = 0;
    std::optional<GutenbergRichterFit> fit;  // empty with fewer than the least events above Mc, or no spread
};

struct SeriesRequest {
    size_t events = 500;  // in each window
    size_t step = 125;    // between the ends of consecutive windows
    McRequest mc;
    uint64_t min_events = 50;  // above Mc for a b-value
};

// The windows over events whose `times` and `magnitudes` are in time order.
// Empty when there are fewer events than one window holds.
std::vector<SeriesWindow> b_value_series(const std::vector<double>& times, const std::vector<float>& magnitudes,
                                         const MagnitudeBins& bins, const SeriesRequest& request);
