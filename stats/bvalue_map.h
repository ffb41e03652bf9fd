// A b-value map: nodes on a grid of whole multiples of a spacing in
// degrees, each with b of its nearest events by epicentral distance.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "stats/gutenberg_richter.h"
#include "stats/magnitude_bins.h"

struct MapRequest {
    double spacing = 1.0;  // degrees
    size_t nearest = 200;
    std::optional<double> max_radius_km;
    uint64_t min_events = 50;  // above Mc for a b-value
    McRequest mc;
};

struct MapNode {
    double latitude = 0.0;
    double longitude = 0.0;
    size_t events = 0;       // the nearest events taken
    double radius_km = 0.0;  // to the farthest of them
    std::optional<double> mc;
    std::optional<GutenbergRichterFit> fit;  // empty: an empty node
};

// The grid's rows and columns over the events' bounds; empty when none of
// its multiples lies within them, or when there would be more than
// `max_nodes`.
struct MapGrid {
    int64_t first_row = 0, rows = 0;  // latitude = row * spacing
    int64_t first_column = 0, columns = 0;
};
std::optional<MapGrid> map_grid(const std::vector<float>& latitudes, const std::vector<float>& longitudes,
                                double spacing, uint64_t max_nodes);

// Every node of `grid`, row by row from the south, west to east.
std::vector<MapNode> b_value_map(const std::vector<float>& latitudes, const std::vector<float>& longitudes,
                                 const std::vector<float>& magnitudes, const MagnitudeBins& bins,
                                 const MapGrid& grid, const MapRequest& request);
