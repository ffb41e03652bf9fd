// The events sismap-stats works on: the viewer's catalogue read with the
// viewer's own reader, refused when the viewer would point to the importer,
// the importer's repeated last line counted once, then selected by
// magnitude, time, region and depth as the importer selects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/records.h"
#include "tool/selection/iso_time.h"
#include "tool/selection/selection.h"

struct StatsEvents {
    std::vector<float> magnitudes;  // as read, in file order
    // Seconds since 1970-01-01 00:00 UTC on the real calendar (days of
    // 86,400 s), in file order; filled only when asked for.
    std::vector<double> times;
    // Epicentres in degrees, in file order; filled only when asked for.
    std::vector<float> latitudes;
    std::vector<float> longitudes;
    // Events that met every other selection but have no depth, left out
    // by a depth selection.
    uint64_t without_depth = 0;
    CivilTime first{};  // earliest and latest event, as the file writes them
    CivilTime last{};
};

// What a command needs of each event besides its magnitude.
struct EventFields {
    bool times = false;
    bool places = false;
};

// Reads and selects the events of the catalogue at `path`. False, with a
// message naming the file in `error`, when it cannot be read, is refused
// (with the sismap-import command that converts it) or leaves no event.
bool read_stats_events(const std::string& path, const Selection& selection, EventFields fields, StatsEvents* events,
                       std::string* error);

// The entry's time in seconds since 1970-01-01 00:00 UTC; empty when its
// fields name no real UTC time (month 13, 31 April, hour 24).
std::optional<double> utc_seconds(const QuakeRecord& record);
// The same without the check: a malformed date is counted on as the
// calendar's arithmetic gives it, for drawing.
double utc_seconds_unchecked(const QuakeRecord& record);

// "YYYY-MM-DDThh:mm:ss.hh".
std::string time_text(const CivilTime& time);
