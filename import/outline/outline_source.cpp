// Shared pieces of the boundary readers.
#include "import/outline/outline_source.h"

#include <cstdio>

void OutlineFeature::offer_outer_ring(GeoRing&& ring) {
    ++polygon_count;
    const int turns = unwrap_longitudes(ring);
    if (turns != 0 && !close_around_pole(ring, turns) && unusable.empty())
        unusable = "a ring runs " + std::string(turns == 1 || turns == -1 ? "once" : "more than once") +
                   " around the globe, enclosing a pole, and cannot be closed along the map's edge (" +
                   (turns == 1 || turns == -1 ? "its latitudes lie on both sides of the equator, so which pole it "
                                                "holds is unclear"
                                              : "it winds round more than once") +
                   "); the viewer's flat map cannot draw it, so no outline is made of it";
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
