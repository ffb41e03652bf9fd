// Shared pieces of the boundary readers.
#include "import/outline/outline_source.h"

#include <cstdio>

void OutlineFeature::offer_outer_ring(GeoRing&& ring) {
    ++polygon_count;
    const double area = ring_area(ring);
    total_area += area;
    if (largest_ring.empty() || area > largest_area) {
        if (!largest_ring.empty()) other_rings.push_back(std::move(largest_ring));
        largest_ring = std::move(ring);
        largest_area = area;
    } else {
        other_rings.push_back(std::move(ring));
    }
}

void check_degrees(double lon, double lat, const std::string& where) {
    if (lon >= -180 && lon <= 360 && lat >= -90 && lat <= 90) return;
    char pair[96];
    std::snprintf(pair, sizeof pair, "%.6g, %.6g", lon, lat);
    throw OutlineError(where + ": coordinate (" + pair +
                       ") is not a longitude/latitude in degrees; the outline must be in "
                       "longitude/latitude degrees (WGS 84): reproject the file first, e.g. "
                       "ogr2ogr -t_srs EPSG:4326 OUT IN");
}
