// Fuzz target: the GMT multisegment text reader on arbitrary bytes, then what
// the outline mode does with its rings: the longitude frames, the joining of
// islands (GEOS) and the reduction. Reading either succeeds or throws
// OutlineError; kept rings have latitudes within +-90, a placed outline
// lies within -180..180, or within 0..360 when said to cross 180, or is
// said too wide only when it fits neither, and no reduction keeps a repeat.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "import/outline/outline_choice.h"
#include "import/outline/outline_gmt.h"

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "outline invariant broken: %s\n", what);
    std::abort();
}

void check_reduction(const GeoRing& ring) {
    const std::vector<GridVertex> outline = reduce_ring(ring);
    for (size_t i = 0; outline.size() > 1 && i < outline.size(); ++i)
        if (outline[i] == outline[(i + 1) % outline.size()]) fail("consecutive duplicate left");
}

void check_placed(GeoRing ring) {
    if (ring.empty()) return;
    const Placement placement = place_outline(ring);
    const LongitudeRange range = longitude_range(ring);
    // Whether a shift by whole turns puts the ring within lo..lo + 360.
    const auto fits = [&range](double lo) {
        const double shift = -360.0 * std::floor((range.west - lo) / 360.0);
        return range.east + shift <= lo + 360;
    };
    if (placement == Placement::too_wide) {
        if (fits(-180) || fits(0)) fail("a ring that fits one form called too wide");
        return;
    }
    if (placement == Placement::within_180 && !(range.west >= -180 && range.east <= 180))
        fail("an outline said to lie within -180..180 runs outside it");
    if (placement == Placement::across_180 && !(range.west >= 0 && range.east > 180 && range.east <= 360))
        fail("an outline said to cross 180 does not lie in 0..360 across it");
    check_reduction(ring);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    OutlineSource source;
    try {
        source = read_gmt_outline(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.txt");
    } catch (const OutlineError&) {
        return 0;
    }
    std::vector<GeoRing> rings;
    for (const OutlineFeature& feature : source.features) {
        if (feature.largest_ring.empty()) continue;
        if (feature.largest_ring.size() < 3) fail("a ring of fewer than three points kept");
        for (const GeoPoint& p : feature.largest_ring)
            if (!(std::isfinite(p.lon) && p.lat >= -90 && p.lat <= 90)) fail("coordinate out of range kept");
        rings.push_back(feature.largest_ring);
        check_placed(feature.largest_ring);
    }
    (void)feature_listing(source);
    if (rings.empty()) return 0;
    place_rings_together(rings);
    for (const GeoRing& ring : rings)
        if (!ring.empty() && (longitude_range(ring).west < -180 || longitude_range(ring).west >= 360))
            fail("ring placed outside -180..360");
    try {
        const JoinedOutline joined = join_rings(rings, 0.5);
        if (joined.ring.size() < 4 || joined.pieces == 0 || !(joined.kept_share > 0 && joined.kept_share <= 1))
            fail("joined outline without a ring");
        check_placed(joined.ring);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
