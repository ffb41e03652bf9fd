// Boundary files for the outline tests: a scratch folder, features with
// attributes and rings, written as GeoJSON text or as a shapefile through
// shapelib, and a five-state collection of real US state boundaries.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "import/outline/outline_geometry.h"
#include "tests/scratch_dir.h"

namespace outline_test {

using Scratch = ::ScratchDir;
using ::read_file;

// A polygon: its exterior ring first, holes after. Rings are written as
// given, without a closing repeat; the writers add what their format needs.
using Polygon = std::vector<GeoRing>;

struct Feature {
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<Polygon> polygons;  // one: a Polygon; several: a MultiPolygon
};

// A FeatureCollection; rings closed, exteriors counter-clockwise as
// RFC 7946 asks (holes clockwise).
std::string geojson_collection(const std::vector<Feature>& features);

// A shapefile `base`.shp/.shx/.dbf in `scratch`, written with shapelib:
// outer rings clockwise and holes counter-clockwise as the format asks,
// every attribute a 40-character string field. Returns the .shp's path.
std::string write_shapefile(const Scratch& scratch, const std::string& base, const std::vector<Feature>& features);

// Colorado, Wyoming, Utah, New Mexico and Kansas, their boundaries traced
// from the published state lines with a few dozen vertices, with NAME,
// STUSPS and STATEFP as in the Census Bureau's layers.
std::vector<Feature> five_states();

// The true boundary of a state of five_states(), by name.
GeoRing state_ring(const std::string& name);

// Distance in degrees (as a plane) from `p` to the closed ring's edges.
double distance_to_ring(const GeoPoint& p, const GeoRing& ring);

}  // namespace outline_test
