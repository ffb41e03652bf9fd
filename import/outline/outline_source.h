// What the boundary readers hand to the outline mode: the features of a
// boundary file, each with its attributes and the one ring the viewer would
// draw of it, and the error type of the outline mode.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "import/outline/outline_geometry.h"

// A failure of the outline mode: the message names the file and what is
// wrong; `status` is the exit status (1 bad input, 2 bad command line).
class OutlineError : public std::runtime_error {
public:
    explicit OutlineError(const std::string& message, int status = 1)
        : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

// One feature (GeoJSON Feature, shapefile record) of a boundary file.
struct OutlineFeature {
    // Properties or attribute-table fields with scalar values, in file order,
    // values as text (strings unquoted, numbers as written).
    std::vector<std::pair<std::string, std::string>> attributes;
    // The outer ring of largest area among the feature's polygons; empty
    // when the feature has no polygon.
    GeoRing largest_ring;
    // The feature's other outer rings (islands), in no particular order,
    // for --join; holes are never kept.
    std::vector<GeoRing> other_rings;
    double largest_area = 0;   // ring_area(largest_ring)
    double total_area = 0;     // ring_area summed over every outer ring
    size_t polygon_count = 0;  // outer rings seen
    std::string geometry;      // the geometry's kind, e.g. "MultiPolygon", "Point", "null"
    // Why the feature gives no outline, when one of its rings cannot be
    // drawn on the viewer's flat map; empty when all is well.
    std::string unusable;

    // Takes an outer ring, made continuous across 180 degrees (see
    // unwrap_longitudes) and, when it runs around a pole, closed along the
    // map's edge or else noted in `unusable`; the largest so far becomes
    // largest_ring, the others go to other_rings.
    void offer_outer_ring(GeoRing&& ring);
};

struct OutlineSource {
    std::string path;    // as the user gave it, for messages
    std::string format;  // "GeoJSON", "shapefile" or "GMT"
    std::vector<OutlineFeature> features;
};

// Throws OutlineError unless lon is within -180..360 (the western
// hemisphere may come as 180..360, as GMT writes it) and lat within +-90
// (NaN is neither). `where` says where the pair was read, e.g.
// "a.geojson: feature 3".
void check_degrees(double lon, double lat, const std::string& where);
