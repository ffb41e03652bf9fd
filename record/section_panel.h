// The depth section's content and scales, without drawing: where each
// catalogue entry goes in the panel (or why it does not), the panel's depth
// range, and the tick values of its two axes.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "data/records.h"
#include "record/section_profile.h"

struct SectionPlaces {
    // Per catalogue entry: km along the profile when the entry is drawn in
    // the panel (in the swath, with a depth, not below the panel), else NaN.
    std::vector<float> along_km;
    double length_km = 0.0;
    double depth_max_km = 50.0;
    uint64_t in_swath = 0;       // entries in the swath, drawn or not
    uint64_t without_depth = 0;  // in the swath, without a depth: not drawn
    uint64_t too_deep = 0;       // in the swath, deeper than depth_max_km: not drawn
};

// Places the catalogue's entries (their depths one per entry, NaN for none)
// in the swath of `width_km` either side of `profile`. The panel goes down
// to `depth_max_km`, or when empty to default_depth_max of the swath's
// depths.
SectionPlaces place_in_section(const SectionProfile& profile, const std::vector<QuakeRecord>& catalogue,
                               const std::vector<float>& depths, double width_km,
                               const std::optional<double>& depth_max_km);

// Tick values from 0 to `end` (both of them when `end` is itself a tick):
// multiples of the least step of 1, 2, 2.5 or 5 times a power of ten that
// gives at most `most` intervals over `end`.
std::vector<double> axis_ticks(double end, int most);
