// Fuzz target: the shapefile boundary reader, shapelib included, on
// arbitrary .shp, .shx, .dbf and .prj bytes held in memory. The input is cut
// into the four files at the separator kCut; the seeds are real shapefiles
// so cut. Reading either succeeds or throws OutlineError, and every kept
// ring has latitudes within +-90 and finite longitudes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "import/outline/outline_choice.h"
#include "import/outline/outline_shapefile.h"

namespace {

constexpr std::string_view kCut = "\n--8<--\n";

void fail(const char* what) {
    std::fprintf(stderr, "outline invariant broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::string files[4];
    for (std::string& file : files) {
        const size_t cut = rest.find(kCut);
        file = std::string(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + kCut.size());
    }
    try {
        const OutlineSource source = read_shapefile_outline_from_memory("fuzz.shp", files[0], files[1], files[2], files[3]);
        for (const OutlineFeature& feature : source.features) {
            for (const GeoPoint& p : feature.largest_ring)
                if (!(std::isfinite(p.lon) && p.lat >= -90 && p.lat <= 90)) fail("coordinate out of range kept");
            (void)reduce_ring(feature.largest_ring);
        }
        (void)feature_listing(source);
    } catch (const OutlineError&) {
    }
    return 0;
}
