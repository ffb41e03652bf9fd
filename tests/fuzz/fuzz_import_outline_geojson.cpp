// Fuzz target: the GeoJSON boundary reader on arbitrary bytes, then the
// feature choice and the outline reduction on whatever it read. Reading
// either succeeds or throws OutlineError; every kept ring has latitudes
// within +-90 and finite longitudes (made continuous across 180 degrees,
// so past -180..360 where it winds on) and its reduction has no repeats.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "import/outline/outline_choice.h"
#include "import/outline/outline_geojson.h"

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "outline invariant broken: %s\n", what);
    std::abort();
}

// Shared with the shapefile target's checks: a reduced ring keeps no
// consecutive duplicate, not even across its start.
void check_source(const OutlineSource& source) {
    for (const OutlineFeature& feature : source.features) {
        for (const GeoPoint& p : feature.largest_ring)
            if (!(std::isfinite(p.lon) && p.lat >= -90 && p.lat <= 90)) fail("coordinate out of range kept");
        const std::vector<GridVertex> outline = reduce_ring(feature.largest_ring);
        for (size_t i = 0; outline.size() > 1 && i < outline.size(); ++i)
            if (outline[i] == outline[(i + 1) % outline.size()]) fail("consecutive duplicate left");
    }
    (void)feature_listing(source);
    try {
        (void)choose_feature(source, FeatureChoice{});
    } catch (const OutlineError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        check_source(read_geojson_outline(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.geojson"));
    } catch (const OutlineError&) {
    }
    return 0;
}
