// The events sismap-stats works on: the viewer's catalogue read with the
// viewer's own reader, refused when the viewer would point to the importer,
// the importer's repeated last line counted once, then selected by
// magnitude, time and region as the importer selects.
#pragma once

#include <string>
#include <vector>

#include "tool/selection/selection.h"
#include "tool/selection/iso_time.h"

struct StatsEvents {
    std::vector<float> magnitudes;  // as read, in file order
    // Decimal years on the viewer's 365-day calendar, in file order; filled
    // only when asked for (the figure's time axes).
    std::vector<double> years;
    CivilTime first{};  // earliest and latest event, as the file writes them
    CivilTime last{};
};

// Reads and selects the events of the catalogue at `path`. False, with a
// message naming the file in `error`, when it cannot be read, is refused
// (with the sismap-import command that converts it) or leaves no event.
bool read_stats_events(const std::string& path, const Selection& selection, bool with_years, StatsEvents* events,
                       std::string* error);

// "YYYY-MM-DDThh:mm:ss.hh".
std::string time_text(const CivilTime& time);
