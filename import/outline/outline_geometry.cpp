// Ring areas, longitude frames, joining with GEOS and the reduction of a
// boundary ring to whole-degree vertices.
#include "import/outline/outline_geometry.h"

#include <geos_c.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

// --join: segments per quarter circle where a grown ring needs a round end
// (the outline is rounded to whole degrees afterwards, so few will do); the
// longest a mitred corner may reach, in join distances (sharper corners are
// bevelled); the coarsest detail, in degrees, smoothed away before joining.
constexpr int kQuarterSegments = 4;
constexpr double kMitreLimit = 5.0;
constexpr double kJoinDetail = 0.05;

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

LongitudeRange longitude_range(const GeoRing& ring) {
    LongitudeRange range{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (const GeoPoint& p : ring) {
        range.west = std::min(range.west, p.lon);
        range.east = std::max(range.east, p.lon);
    }
    return range;
}

void shift_longitudes(GeoRing& ring, double degrees) {
    for (GeoPoint& p : ring) p.lon += degrees;
}

void place_rings_together(std::vector<GeoRing>& rings) {
    // The whole turns that bring a ring's west end into [base, base + 360).
    const auto turns = [](const GeoRing& ring, double base) {
        return ring.empty() ? 0.0 : -360.0 * std::floor((longitude_range(ring).west - base) / 360.0);
    };
    const auto span = [&](double base) {
        double west = std::numeric_limits<double>::infinity();
        double east = -west;
        for (const GeoRing& ring : rings) {
            if (ring.empty()) continue;
            const LongitudeRange range = longitude_range(ring);
            const double shift = turns(ring, base);
            west = std::min(west, range.west + shift);
            east = std::max(east, range.east + shift);
        }
        return east - west;
    };
    const double base = span(0.0) < span(-180.0) ? 0.0 : -180.0;
    for (GeoRing& ring : rings) shift_longitudes(ring, turns(ring, base));
}

Placement place_outline(GeoRing& ring) {
    if (ring.empty()) return Placement::within_180;
    shift_longitudes(ring, -360.0 * std::floor((longitude_range(ring).west + 180) / 360));
    const LongitudeRange range = longitude_range(ring);
    if (range.east <= 180) return Placement::within_180;
    if (range.west >= 0 && range.east <= 360) return Placement::across_180;
    return Placement::too_wide;
}

int unwrap_longitudes(GeoRing& ring) {
    double shift = 0;
    for (size_t i = 1; i < ring.size(); ++i) {
        const double step = ring[i].lon + shift - ring[i - 1].lon;
        if (step > 180) shift -= 360 * std::ceil((step - 180) / 360);
        if (step < -180) shift += 360 * std::ceil((-180 - step) / 360);
        ring[i].lon += shift;
    }
    if (ring.size() < 2) return 0;
    // The closing step is a step like the others: what it needs to stay
    // within 180 degrees is how far the ring fails to come back.
    const double closing = ring.front().lon - ring.back().lon;
    if (closing < -180) return static_cast<int>(std::ceil((-180 - closing) / 360));  // eastward round
    if (closing > 180) return -static_cast<int>(std::ceil((closing - 180) / 360));  // westward round
    return 0;
}

namespace {

// One GEOS context for the length of a join, collecting the engine's last
// error message.
class GeosContext {
public:
    GeosContext() : handle_(GEOS_init_r()) {
        if (handle_ == nullptr) throw std::runtime_error("the geometry engine (GEOS) could not start");
        GEOSContext_setErrorMessageHandler_r(handle_, &GeosContext::on_error, this);
    }
    ~GeosContext() { GEOS_finish_r(handle_); }
    GeosContext(const GeosContext&) = delete;
    GeosContext& operator=(const GeosContext&) = delete;

    GEOSContextHandle_t handle() const { return handle_; }

    // Throws with the engine's message when a call returned nothing.
    template <typename T>
    T* check(T* result, const char* step) const {
        if (result == nullptr)
            throw std::runtime_error(std::string("joining the rings failed while ") + step +
                                     (error_.empty() ? std::string() : ": " + error_));
        return result;
    }

private:
    static void on_error(const char* message, void* context) {
        static_cast<GeosContext*>(context)->error_ = message != nullptr ? message : "";
    }
    GEOSContextHandle_t handle_;
    std::string error_;
};

struct GeometryDeleter {
    GEOSContextHandle_t handle;
    void operator()(GEOSGeometry* geometry) const { GEOSGeom_destroy_r(handle, geometry); }
};
using Geometry = std::unique_ptr<GEOSGeometry, GeometryDeleter>;

GEOSCoordSequence* sequence_of(const GeosContext& geos, const GeoRing& ring) {
    GEOSContextHandle_t h = geos.handle();
    GEOSCoordSequence* sequence =
        geos.check(GEOSCoordSeq_create_r(h, static_cast<unsigned>(ring.size()), 2), "storing a ring");
    for (size_t i = 0; i < ring.size(); ++i)
        GEOSCoordSeq_setXY_r(h, sequence, static_cast<unsigned>(i), ring[i].lon, ring[i].lat);
    return sequence;
}

GeoRing ring_of(const GeosContext& geos, const GEOSGeometry* line) {
    GEOSContextHandle_t h = geos.handle();
    const GEOSCoordSequence* sequence = geos.check(GEOSGeom_getCoordSeq_r(h, line), "reading a ring");
    unsigned size = 0;
    GEOSCoordSeq_getSize_r(h, sequence, &size);
    GeoRing ring(size);
    for (unsigned i = 0; i < size; ++i) GEOSCoordSeq_getXY_r(h, sequence, i, &ring[i].lon, &ring[i].lat);
    return ring;
}

// The polygon of a ring, mended when it crosses itself; null for a ring of
// fewer than three different points. With a `tolerance` above 0 the ring is
// first simplified (Douglas-Peucker) within that many degrees: mending is
// the costly step for a coastline of hundreds of thousands of vertices.
Geometry polygon_of(const GeosContext& geos, const GeoRing& ring, double tolerance = 0, bool mend = true) {
    GEOSContextHandle_t h = geos.handle();
    GeoRing closed = ring;
    if (!closed.empty() && (closed.front().lon != closed.back().lon || closed.front().lat != closed.back().lat))
        closed.push_back(closed.front());
    if (closed.size() < 4) return Geometry(nullptr, GeometryDeleter{h});
    if (tolerance > 0) {
        Geometry line(geos.check(GEOSGeom_createLineString_r(h, sequence_of(geos, closed)), "storing a ring"),
                      GeometryDeleter{h});
        const Geometry simple(geos.check(GEOSSimplify_r(h, line.get(), tolerance), "simplifying a ring"),
                              GeometryDeleter{h});
        GeoRing simplified = ring_of(geos, simple.get());
        if (simplified.size() < 4 && ring_area(closed) > 0) {
            // A ring smaller than the tolerance collapses; its bounding box,
            // no further off than the tolerance, stands for it, since a small
            // island may be what bridges two others.
            const LongitudeRange range = longitude_range(closed);
            double south = closed.front().lat, north = south;
            for (const GeoPoint& p : closed) {
                south = std::min(south, p.lat);
                north = std::max(north, p.lat);
            }
            simplified = {{range.west, south}, {range.west, north}, {range.east, north}, {range.east, south},
                          {range.west, south}};
        }
        closed = std::move(simplified);
    }
    // Both take what they are given, also when they fail.
    GEOSGeometry* shell = GEOSGeom_createLinearRing_r(h, sequence_of(geos, closed));
    if (shell == nullptr) return Geometry(nullptr, GeometryDeleter{h});  // too few different points
    Geometry polygon(geos.check(GEOSGeom_createPolygon_r(h, shell, nullptr, 0), "making a polygon"), GeometryDeleter{h});
    if (!mend || GEOSisValid_r(h, polygon.get()) == 1) return polygon;
    return Geometry(geos.check(GEOSMakeValid_r(h, polygon.get()), "mending a ring that crosses itself"),
                    GeometryDeleter{h});
}

// The outer boundary of the largest polygon of `geometry` (a polygon or a
// collection of them), how many there were and its share of their area.
JoinedOutline largest_piece(const GeosContext& geos, const GEOSGeometry* geometry) {
    GEOSContextHandle_t h = geos.handle();
    JoinedOutline joined;
    double largest = -1;
    double total = 0;
    const int count = GEOSGetNumGeometries_r(h, geometry);
    for (int i = 0; i < count; ++i) {
        const GEOSGeometry* piece = GEOSGetGeometryN_r(h, geometry, i);
        if (piece == nullptr || GEOSGeomTypeId_r(h, piece) != GEOS_POLYGON || GEOSisEmpty_r(h, piece) == 1) continue;
        GeoRing exterior = ring_of(geos, geos.check(GEOSGetExteriorRing_r(h, piece), "reading a piece"));
        const double area = ring_area(exterior);
        ++joined.pieces;
        total += area;
        if (area > largest) {
            largest = area;
            joined.ring = std::move(exterior);
        }
    }
    if (joined.ring.size() < 4) throw std::runtime_error("joining left nothing with an area");
    joined.kept_share = total > 0 ? largest / total : 1.0;
    return joined;
}

}  // namespace

bool close_around_pole(GeoRing& ring, int turns) {
    if (turns != 1 && turns != -1) return false;
    const bool north = std::all_of(ring.begin(), ring.end(), [](const GeoPoint& p) { return p.lat >= 0; });
    const bool south = std::all_of(ring.begin(), ring.end(), [](const GeoPoint& p) { return p.lat <= 0; });
    if (north == south) return false;  // both sides of the equator, or on it all along
    const double pole = north ? 90 : -90;

    // Once round the globe, then along the edge at the pole back to the
    // start: one turn of the band between the ring and the pole, laid out
    // over a little more than 360 degrees. Its copies a turn apart, each
    // cut to -180..180, fit together into the band within the map.
    GeoRing band = ring;
    const GeoPoint start = band.front();
    const double end_lon = start.lon + 360.0 * turns;
    band.push_back({end_lon, start.lat});
    band.push_back({end_lon, pole});
    band.push_back({start.lon, pole});
    band.push_back(start);
    GeosContext geos;
    GEOSContextHandle_t h = geos.handle();
    std::vector<GEOSGeometry*> cut;
    struct Release {
        GEOSContextHandle_t h;
        std::vector<GEOSGeometry*>& geometries;
        ~Release() {
            for (GEOSGeometry* g : geometries) GEOSGeom_destroy_r(h, g);
        }
    } release{h, cut};
    const LongitudeRange range = longitude_range(band);
    for (double turn = std::ceil((-180 - range.east) / 360); turn <= std::floor((180 - range.west) / 360); ++turn) {
        GeoRing moved = band;
        shift_longitudes(moved, 360 * turn);
        const Geometry polygon = polygon_of(geos, moved);
        if (!polygon) return false;
        GEOSGeometry* piece = GEOSClipByRect_r(h, polygon.get(), -180, -90, 180, 90);
        if (piece == nullptr) return false;
        cut.push_back(piece);
    }
    GEOSGeometry* all = GEOSGeom_createCollection_r(h, GEOS_GEOMETRYCOLLECTION, cut.data(),
                                                    static_cast<unsigned>(cut.size()));
    cut.clear();  // the collection took them over, also when it failed
    if (all == nullptr) return false;
    const Geometry collection(all, GeometryDeleter{h});
    // The copies' shared edges differ in the last bits (x + 360 - 720 is
    // not x - 360): united on a grid of a ten-millionth of a degree.
    const Geometry united(GEOSUnaryUnionPrec_r(h, collection.get(), 1e-7), GeometryDeleter{h});
    if (!united) return false;
    try {
        JoinedOutline closed = largest_piece(geos, united.get());
        if (closed.pieces != 1) return false;
        ring = std::move(closed.ring);
    } catch (const std::runtime_error&) {
        return false;
    }
    return true;
}

JoinedOutline mended_ring(const GeoRing& ring) {
    GeosContext geos;
    GEOSContextHandle_t h = geos.handle();
    const Geometry polygon = polygon_of(geos, ring, 0, false);
    if (!polygon) throw std::runtime_error("it encloses no area (fewer than three different points)");
    if (GEOSisValid_r(h, polygon.get()) == 1) {
        JoinedOutline same;
        same.ring = ring;
        if (ring.front().lon != ring.back().lon || ring.front().lat != ring.back().lat)
            same.ring.push_back(ring.front());  // closed, as a joined ring is
        same.pieces = 1;
        same.kept_share = 1;
        return same;
    }
    // Mending is costly on a coastline of hundreds of thousands of
    // vertices; detail below what whole degrees show goes first.
    const Geometry mended = polygon_of(geos, ring, kJoinDetail);
    if (!mended) throw std::runtime_error("it encloses no area (its vertices lie on one line)");
    try {
        return largest_piece(geos, mended.get());
    } catch (const std::runtime_error&) {
        throw std::runtime_error("it encloses no area (its vertices lie on one line)");
    }
}

JoinedOutline join_rings(const std::vector<GeoRing>& rings, double distance) {
    // Detail finer than the join distance, or than what the whole-degree
    // rounding can show, is smoothed away before the rings are grown: a
    // country's coastline of millions of vertices would otherwise be grown
    // and united vertex by vertex, at a cost of minutes and gigabytes.
    const double tolerance = std::min(distance / 8, kJoinDetail);
    GeosContext geos;
    GEOSContextHandle_t h = geos.handle();

    std::vector<GEOSGeometry*> simple;
    struct Release {
        GEOSContextHandle_t h;
        std::vector<GEOSGeometry*>& geometries;
        ~Release() {
            for (GEOSGeometry* g : geometries) GEOSGeom_destroy_r(h, g);
        }
    } release{h, simple};
    simple.reserve(rings.size());
    const GeoRing* lone = nullptr;
    for (const GeoRing& ring : rings) {
        Geometry polygon = polygon_of(geos, ring, tolerance);
        if (!polygon) continue;
        lone = &ring;
        simple.push_back(polygon.release());
    }
    if (simple.empty()) throw std::runtime_error("no ring of three or more different points to join");
    // Nothing to join: the ring comes back as it was (mended when it crossed
    // itself), not rounded off by growing and shrinking.
    if (simple.size() == 1) return mended_ring(*lone);

    // Each ring grown alone, then all united: GEOS unites them a cascade at
    // a time, far cheaper than growing the thousands of overlapping rings of
    // a coastline at once. Mitred corners: a closing with them gives back
    // every corner wider than the join distance exactly, where round corners
    // would cut them off.
    for (GEOSGeometry*& geometry : simple) {
        GEOSGeometry* grown = geos.check(GEOSBufferWithStyle_r(h, geometry, distance / 2, kQuarterSegments,
                                                               GEOSBUF_CAP_ROUND, GEOSBUF_JOIN_ROUND, kMitreLimit),
                                         "growing a ring");
        GEOSGeom_destroy_r(h, geometry);
        geometry = grown;
    }
    // The collection takes the grown rings over, also when it fails.
    GEOSGeometry* all = GEOSGeom_createCollection_r(h, GEOS_GEOMETRYCOLLECTION, simple.data(),
                                                    static_cast<unsigned>(simple.size()));
    simple.clear();
    const Geometry collection(geos.check(all, "collecting the rings"), GeometryDeleter{h});
    const Geometry united(geos.check(GEOSUnaryUnion_r(h, collection.get()), "uniting the grown rings"),
                          GeometryDeleter{h});
    const Geometry closed(geos.check(GEOSBufferWithStyle_r(h, united.get(), -distance / 2, kQuarterSegments,
                                                           GEOSBUF_CAP_ROUND, GEOSBUF_JOIN_MITRE, kMitreLimit),
                                     "shrinking the union back"),
                          GeometryDeleter{h});
    return largest_piece(geos, closed.get());
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

namespace {

long long twice_grid_area(const std::vector<GridVertex>& outline) {
    long long twice_area = 0;
    for (size_t i = 0; i < outline.size(); ++i) {
        const GridVertex& a = outline[i];
        const GridVertex& b = outline[(i + 1) % outline.size()];
        twice_area += static_cast<long long>(a.lon) * b.lat - static_cast<long long>(b.lon) * a.lat;
    }
    return twice_area;
}

}  // namespace

bool grid_area_is_zero(const std::vector<GridVertex>& outline) {
    // Each vertex against the line through the first two different ones.
    size_t second = 1;
    while (second < outline.size() && outline[second] == outline[0]) ++second;
    for (size_t i = second + 1; i < outline.size(); ++i) {
        const long long cross =
            static_cast<long long>(outline[second].lon - outline[0].lon) * (outline[i].lat - outline[0].lat) -
            static_cast<long long>(outline[second].lat - outline[0].lat) * (outline[i].lon - outline[0].lon);
        if (cross != 0) return false;
    }
    return true;
}

void orient_clockwise(std::vector<GridVertex>& outline) {
    if (twice_grid_area(outline) > 0) std::reverse(outline.begin() + 1, outline.end());
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

std::vector<GridVertex> box_outline(double south, double west, double north, double east, double margin,
                                    double east_limit) {
    const int s = static_cast<int>(std::max(-90.0, std::floor(south - margin)));
    const int w = static_cast<int>(std::max(-180.0, std::floor(west - margin)));
    const int n = static_cast<int>(std::min(90.0, std::ceil(north + margin)));
    const int e = static_cast<int>(std::min(east_limit, std::ceil(east + margin)));
    return {{s, w}, {n, w}, {n, e}, {s, e}};
}
