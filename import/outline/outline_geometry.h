// Geometry of region outlines: ring areas, longitudes placed in one frame,
// islands joined into one outline, the reduction of a boundary ring in
// longitude/latitude degrees to the viewer's outline of whole-degree
// vertices (rounded, without repeats or spikes), and its text form. The
// joining is done with GEOS, which stays inside this unit.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// One vertex of a boundary ring, in degrees (WGS 84).
struct GeoPoint {
    double lon = 0;
    double lat = 0;
};
using GeoRing = std::vector<GeoPoint>;

// One vertex of the viewer's outline, in whole degrees.
struct GridVertex {
    int lat = 0;
    int lon = 0;
    bool operator==(const GridVertex& other) const { return lat == other.lat && lon == other.lon; }
    bool operator!=(const GridVertex& other) const { return !(*this == other); }
};
inline std::ostream& operator<<(std::ostream& out, const GridVertex& v) { return out << v.lat << ',' << v.lon; }

// Area enclosed by `ring` (closing repeat optional), unsigned, in units of
// square radians of the unit sphere: the shoelace formula in Lambert's
// cylindrical equal-area projection (x = longitude, y = sine of latitude),
// so that islands far from the equator are not favoured over larger ones
// nearer it. Fewer than three vertices enclose nothing.
double ring_area(const GeoRing& ring);

// Signed shoelace sum of `ring` in plain degrees: negative when the ring runs
// clockwise with longitude to the right and latitude up.
double signed_degree_area(const GeoRing& ring);

// Rounds to the nearest integer, halves away from zero (2.5 -> 3, -2.5 -> -3).
// Only for values of degrees (well inside the range of int).
int round_half_away(double value);

// The outline of `ring`: every vertex rounded to whole degrees, consecutive
// duplicates and the closing repeat of the first vertex dropped, and spikes
// (A, B, A -> A) collapsed until none is left, around the start of the ring
// too. Ring order is kept. The result may have fewer than three vertices;
// callers refuse those (see distinct_vertex_count).
std::vector<GridVertex> reduce_ring(const GeoRing& ring);

// Turns a counter-clockwise `outline` (longitude to the right, latitude up)
// clockwise, as the viewer's outlines run, keeping its first vertex first.
// GeoJSON's exterior rings run counter-clockwise and a shapefile's outer
// rings clockwise; this way both give the same file for the same boundary.
void orient_clockwise(std::vector<GridVertex>& outline);

// The westmost and eastmost longitude of a ring.
struct LongitudeRange {
    double west = 0;
    double east = 0;
};
LongitudeRange longitude_range(const GeoRing& ring);

// Adds `degrees` to every longitude of `ring`.
void shift_longitudes(GeoRing& ring, double degrees);

// Shifts each ring whole by a multiple of 360 degrees so that together they
// span the fewest longitudes: either each ring starting within -180..180 or
// each within 0..360, whichever is narrower (the first when equal). Rings
// of one country given partly as 0..360 and partly as -180..180, or split
// at 180 degrees, so come together before they are joined.
void place_rings_together(std::vector<GeoRing>& rings);

// How an outline is written: within -180..180, across 180 degrees in
// 0..360, or in neither without a seam (it runs across 0 and 180 degrees
// both, wider than either form holds).
enum class Placement { within_180, across_180, too_wide };

// Puts an outline into the form it is written in: within -180..180 when it
// fits there after a shift by whole turns; otherwise, when it crosses 180
// degrees, in 0..360 (without the seam that -180..180 would cut into it).
// A ring too wide for either is shifted to start within -180..180.
Placement place_outline(GeoRing& ring);

// Takes a step of more than 180 degrees of longitude between consecutive
// vertices as a crossing of 180 degrees, not a way round the globe: each
// such step moves the rest of the ring by a whole turn, so that the ring is
// continuous. Returns the turns by which the closing step, from the last
// vertex back to the first, falls short: 0 for a ring that closes, +1 or -1
// (or more) for one that runs around the globe, enclosing a pole.
int unwrap_longitudes(GeoRing& ring);

// A ring that runs once around the globe (`turns` from unwrap_longitudes)
// with all its latitudes on one side of the equator, closed along the map's
// edge at that side's pole into the ring within -180..180 that covers the
// same area (a continent around a pole, drawn on a flat map). False, with
// `ring` untouched, when it cannot be so closed: around more than once, or
// latitudes on both sides, so that which pole it holds is unclear.
bool close_around_pole(GeoRing& ring, int turns);

// The ring made a valid polygon, closed (its last point repeats the first):
// unchanged when it is one; when it crosses itself, mended (GEOS) into the
// pieces it outlines, of which the largest is kept. Throws
// std::runtime_error when nothing with an area is left (its vertices lie on
// one line).
struct JoinedOutline;
JoinedOutline mended_ring(const GeoRing& ring);

// --join: one outline of `rings` (longitudes in one frame, see
// place_rings_together) in which rings lying within `distance` degrees of
// each other are joined: each ring grown by distance / 2, their union shrunk
// back by distance / 2 (a closing), holes dropped and the outer boundary of
// the largest piece kept. Rings that are not valid polygons (crossing
// themselves) are mended first; rings of fewer than three points are left
// out. Throws std::runtime_error with the geometry engine's message when it
// fails, or when nothing with an area is left.
struct JoinedOutline {
    GeoRing ring;            // closed: its last point repeats the first
    size_t pieces = 0;       // separate pieces the closing left
    double kept_share = 0;   // the kept piece's share of the pieces' area, 0..1
};
JoinedOutline join_rings(const std::vector<GeoRing>& rings, double distance);

// True when `outline` encloses no area: its vertices lie on one line.
bool grid_area_is_zero(const std::vector<GridVertex>& outline);

// Number of different vertices in `outline`.
size_t distinct_vertex_count(const std::vector<GridVertex>& outline);

// The viewer's outline file: the header "lat,lon", then one "lat,lon" line
// per vertex.
std::string format_outline(const std::vector<GridVertex>& outline);

// The rectangle floor(south - margin), floor(west - margin),
// ceil(north + margin), ceil(east + margin), clipped to +-90 latitude and
// to -180..`east_limit` longitude (180, or 360 for events written in
// 0..360), as four vertices in ring order from the south-west corner
// clockwise: south-west, north-west, north-east, south-east.
std::vector<GridVertex> box_outline(double south, double west, double north, double east, double margin,
                                    double east_limit = 180);
