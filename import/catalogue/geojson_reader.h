// Reader of GeoJSON event feeds (a FeatureCollection of Point features), with
// simdjson's On-Demand API so large feeds are never built into a tree.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "import/catalogue/event_sink.h"

// Reads `text`, whose buffer holds at least `capacity` bytes (simdjson reads
// a little past the end; a smaller capacity makes a padded copy). Messages
// give the byte offset. A feature with an area geometry is refused as a
// region outline.
void read_geojson_catalogue(std::string_view text, size_t capacity, const std::string& name, EventSink& sink);
