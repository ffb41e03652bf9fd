// The importer's shared vocabulary: the event it keeps, what it counts and
// how it fails (the selection it applies is the companions' own). Every mode (catalogue, outline
// box, fetch) and every reader speaks it.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "import/layout_sniff.h"
#include "tool/selection/selection.h"

// One event as the importer keeps it.
struct QuakeEvent {
    int64_t time_us = 0;  // origin time, microseconds since 1970-01-01 00:00:00 UTC
    double latitude = 0.0;   // degrees north, -90 to 90
    double longitude = 0.0;  // degrees east, -180 to 180 (0 to 360 with LongitudeForm::east_360)
    double magnitude = 0.0;  // above 0 in every kept event
    double depth_km = std::numeric_limits<double>::quiet_NaN();  // positive down; NaN: the source gives none
};

// What reading found, for the summary line.
struct ImportCounts {
    InputLayout layout = InputLayout::unknown;
    uint64_t read = 0;            // events (rows, features) met in the input
    uint64_t kept = 0;
    uint64_t not_earthquake = 0;  // another event type, without --all-types
    uint64_t no_magnitude = 0;    // no magnitude, or one of 0 or less
    uint64_t below_min_magnitude = 0;
    uint64_t outside_time = 0;
    uint64_t outside_region = 0;
    uint64_t no_depth = 0;        // no depth, with --depth
    uint64_t outside_depth = 0;
    bool by_depth = false;        // a depth selection was applied (the summary names it)
    uint64_t bad = 0;  // skipped with --skip-bad
    uint64_t repeated = 0;  // met before in an earlier answer (fetch mode)

    // Adds another part's counts (the layout stays). Every counter above
    // belongs here.
    ImportCounts& operator+=(const ImportCounts& other) {
        read += other.read;
        kept += other.kept;
        not_earthquake += other.not_earthquake;
        no_magnitude += other.no_magnitude;
        below_min_magnitude += other.below_min_magnitude;
        outside_time += other.outside_time;
        outside_region += other.outside_region;
        no_depth += other.no_depth;
        outside_depth += other.outside_depth;
        by_depth = by_depth || other.by_depth;
        bad += other.bad;
        repeated += other.repeated;
        return *this;
    }
};

// A catalogue that cannot be read: the message names the file and where in
// it (line, or byte offset for JSON) and what was wrong.
class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Which reader to use: the layout the content shows, or a forced one.
enum class CatalogueFormat { guess, csv, fdsn, geojson, quakeml };

// Told now and then, on long inputs, how many events were met so far.
using ReadProgress = std::function<void(uint64_t events_read)>;
