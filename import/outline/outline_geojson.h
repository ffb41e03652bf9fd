// Reads a boundary file in GeoJSON: a FeatureCollection, a single Feature,
// or a bare Polygon, MultiPolygon or GeometryCollection geometry.
#pragma once

#include <string>
#include <string_view>

#include "import/outline/outline_source.h"

// The features of the GeoJSON text `bytes` (a UTF-8 byte-order mark is
// allowed). A bare geometry is one feature without attributes. Each feature
// keeps the exterior rings of its polygons, the largest apart; holes are
// never candidates. Throws OutlineError naming `path`, the line and byte
// offset and what is wrong, for malformed JSON, a structure that is not
// GeoJSON, or a coordinate outside -180..360 / +-90.
OutlineSource read_geojson_outline(std::string_view bytes, const std::string& path);
