// Which events a companion program keeps: by magnitude, time, region and depth, as
// the importer, the statistics and the recorder select them, and how kept
// longitudes are written.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

// A latitude-longitude box, edges included. `west` greater than `east` means
// the box crosses the antimeridian.
struct Region {
    double south = -90.0;
    double north = 90.0;
    double west = -180.0;
    double east = 180.0;

    bool contains(double latitude, double longitude) const;
};

// A depth range in km (positive down), both ends included.
struct DepthRange {
    double min_km = 0.0;
    double max_km = 0.0;

    // False for an event without a depth (NaN).
    bool contains(double depth_km) const { return depth_km >= min_km && depth_km <= max_km; }
};

// How kept events' longitudes are written: as read (-180..180), or with
// each negative one plus 360 (0..360), to lie on an outline that crosses
// 180 degrees and is therefore written in 0..360.
enum class LongitudeForm { signed_180, east_360 };

// Which events to keep, how strict to be with bad rows, and the longitude
// form of the kept events (the selection itself sees them as read).
struct Selection {
    bool all_types = false;  // keep blasts and other non-earthquakes too
    double min_magnitude = -std::numeric_limits<double>::infinity();
    std::optional<int64_t> from_us;  // keep from this time on (inclusive)
    std::optional<int64_t> to_us;    // keep before this time (exclusive)
    std::optional<Region> region;
    std::optional<DepthRange> depth;  // events without a depth are dropped by it
    bool skip_bad = false;  // count and skip bad rows instead of failing
    LongitudeForm longitudes = LongitudeForm::signed_180;
};
