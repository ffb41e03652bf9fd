// Ring areas and the reduction of a boundary ring to whole-degree vertices.
#include "import/outline/outline_geometry.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

}  // namespace

double ring_area(const GeoRing& ring) {
    if (ring.size() < 3) return 0;
    double twice_area = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const GeoPoint& a = ring[i];
        const GeoPoint& b = ring[(i + 1) % ring.size()];
        twice_area += (b.lon - a.lon) * kRadiansPerDegree *
                      (std::sin(a.lat * kRadiansPerDegree) + std::sin(b.lat * kRadiansPerDegree));
    }
    return std::fabs(twice_area) / 2;
}

double signed_degree_area(const GeoRing& ring) {
    double twice_area = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const GeoPoint& a = ring[i];
        const GeoPoint& b = ring[(i + 1) % ring.size()];
        twice_area += a.lon * b.lat - b.lon * a.lat;
    }
    return twice_area / 2;
}

int round_half_away(double value) {
    // std::round rounds halves away from zero; the cast is safe for degrees.
    return static_cast<int>(std::round(value));
}

std::vector<GridVertex> reduce_ring(const GeoRing& ring) {
    // One pass as on a stack: a vertex equal to the last kept one is a
    // duplicate; one equal to the last but one closes a spike, so the spike's
    // tip goes and the vertex is the duplicate of what is left. Spikes that
    // only appear once an inner one is gone collapse the same way.
    std::vector<GridVertex> kept;
    kept.reserve(ring.size());
    for (const GeoPoint& p : ring) {
        const GridVertex v{round_half_away(p.lat), round_half_away(p.lon)};
        if (kept.size() >= 2 && kept[kept.size() - 2] == v) kept.pop_back();
        if (!kept.empty() && kept.back() == v) continue;
        kept.push_back(v);
    }

    // The ring closes on itself: the junction of its end and its start can
    // still hold the closing repeat, a duplicate or a spike. Each removal
    // there makes a new junction, so repeat until it is clean.
    size_t first = 0;
    size_t end = kept.size();
    for (;;) {
        const size_t n = end - first;
        if (n >= 2 && kept[end - 1] == kept[first]) {
            --end;  // closing repeat, or a duplicate across the junction
        } else if (n >= 3 && kept[end - 2] == kept[first]) {
            --end;  // ..., A, B | A, ...: the tip B goes, then the repeated A
        } else if (n >= 3 && kept[end - 1] == kept[first + 1]) {
            ++first;  // ..., Z | A, Z, ...: the tip A goes, then the repeated Z
        } else {
            break;
        }
    }
    return std::vector<GridVertex>(kept.begin() + static_cast<std::ptrdiff_t>(first),
                                   kept.begin() + static_cast<std::ptrdiff_t>(end));
}

void orient_clockwise(std::vector<GridVertex>& outline) {
    long long twice_area = 0;
    for (size_t i = 0; i < outline.size(); ++i) {
        const GridVertex& a = outline[i];
        const GridVertex& b = outline[(i + 1) % outline.size()];
        twice_area += static_cast<long long>(a.lon) * b.lat - static_cast<long long>(b.lon) * a.lat;
    }
    if (twice_area > 0) std::reverse(outline.begin() + 1, outline.end());
}

size_t distinct_vertex_count(const std::vector<GridVertex>& outline) {
    std::set<std::pair<int, int>> seen;
    for (const GridVertex& v : outline) seen.insert({v.lat, v.lon});
    return seen.size();
}

std::string format_outline(const std::vector<GridVertex>& outline) {
    std::string text = "lat,lon\n";
    for (const GridVertex& v : outline) {
        text += std::to_string(v.lat);
        text += ',';
        text += std::to_string(v.lon);
        text += '\n';
    }
    return text;
}

std::vector<GridVertex> box_outline(double south, double west, double north, double east, double margin) {
    const int s = static_cast<int>(std::max(-90.0, std::floor(south - margin)));
    const int w = static_cast<int>(std::max(-180.0, std::floor(west - margin)));
    const int n = static_cast<int>(std::min(90.0, std::ceil(north + margin)));
    const int e = static_cast<int>(std::min(180.0, std::ceil(east + margin)));
    return {{s, w}, {n, w}, {n, e}, {s, e}};
}
