// Coasts through the importer's readers: the ring of largest area and the
// other outer rings of each feature.
#include "record/coast.h"

#include <cmath>

#include "import/outline/outline_command.h"

namespace {

// The ring as drawn: shifted by the whole turns that bring its middle
// longitude nearest the outline's.
CoastLine coast_line(const GeoRing& ring, bool closed, double outline_middle) {
    CoastLine line;
    line.closed = closed;
    double west = ring.front().lon;
    double east = west;
    for (const GeoPoint& p : ring) {
        west = std::min(west, p.lon);
        east = std::max(east, p.lon);
    }
    const double shift = 360.0 * std::round((outline_middle - (west + east) / 2.0) / 360.0);
    line.xy.reserve(ring.size() * 2);
    for (const GeoPoint& p : ring) {
        line.xy.push_back(static_cast<float>(p.lon + shift));
        line.xy.push_back(static_cast<float>(p.lat));
    }
    return line;
}

}  // namespace

bool read_coasts(const std::vector<std::string>& paths, double outline_min_x, double outline_max_x,
                 std::vector<CoastLine>* lines, std::string* error) {
    const double middle = (outline_min_x + outline_max_x) / 2.0;
    for (const std::string& path : paths) {
        try {
            const OutlineSource source = read_boundary(path);
            // GMT segments are lines as the file gives them (a shoreline cut
            // at a region's edge stays open); polygons' rings are closed.
            const bool closed = source.format != "GMT";
            size_t before = lines->size();
            for (const OutlineFeature& feature : source.features) {
                if (!feature.largest_ring.empty()) lines->push_back(coast_line(feature.largest_ring, closed, middle));
                for (const GeoRing& ring : feature.other_rings)
                    if (!ring.empty()) lines->push_back(coast_line(ring, closed, middle));
            }
            if (lines->size() == before) {
                *error = path + ": holds no line of at least three points to draw as a coast";
                return false;
            }
        } catch (const OutlineError& problem) {
            *error = problem.what();
            return false;
        }
    }
    return true;
}

size_t coast_point_count(const std::vector<CoastLine>& lines) {
    size_t count = 0;
    for (const CoastLine& line : lines) count += line.xy.size() / 2;
    return count;
}
