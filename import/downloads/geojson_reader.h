// Reader of GeoJSON event feeds (a FeatureCollection of Point features), with
// simdjson's On-Demand API so large feeds are never built into a tree.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "import/event_sink.h"

// Reads `text`, whose buffer holds at least `capacity` bytes. Messages give
// the byte offset. A feature with an area geometry is refused as a region
// outline.
//
// The features are parsed a few of them at a time, each piece copied into a
// small padded buffer, so memory stays near the size of the text however
// many features it holds (a whole-document parse needs about four bytes of
// index per JSON token, near the text's own size again). A document whose
// outline the splitter cannot follow (broken, or not a FeatureCollection) is
// parsed whole, as simdjson then words its faults; one with a backslash
// outside strings, which simdjson would take for an escape, is refused at it.
void read_geojson_catalogue(std::string_view text, size_t capacity, const std::string& name, EventSink& sink);

// How read_geojson_catalogue splits its work; for tests and benchmarks.
struct GeojsonSplit {
    size_t piece_bytes = size_t{1} << 20;  // features are parsed in pieces of about this size
    bool whole = false;                    // parse the document whole instead
    const char* kernel = nullptr;          // a simdjson kernel by name; nullptr: the best one here
};
void read_geojson_catalogue(std::string_view text, size_t capacity, const std::string& name, EventSink& sink,
                            const GeojsonSplit& split);

// The name of the simdjson kernel that reads the features on this processor
// ("icelake", "haswell", "westmere" or "fallback").
const char* geojson_kernel();

// The kernels compiled in that this processor runs, best first.
std::vector<std::string> geojson_kernels_runnable();
