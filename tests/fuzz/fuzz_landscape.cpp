// Fuzz target: the landscape reader on arbitrary bytes. The vertex count
// must match the copy handed out, and the bounds must be exactly the
// smallest and largest coordinates read (0 / 99999 with no vertex at all).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "data/data_loader.h"

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "landscape invariant broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DataLoader loader;
    loader.read_landscape(text);

    const std::vector<LandscapePoint> points = loader.copy_points();
    if (loader.point_count() < 0 || static_cast<size_t>(loader.point_count()) != points.size())
        fail("point_count differs from the number of vertices handed out");
    // Every vertex needs a line of its own after the header.
    size_t line_feeds = 0;
    for (char c : text) line_feeds += (c == '\n');
    if (points.size() > line_feeds + text.size() / 99 + 1) fail("more vertices than lines");

    if (points.empty()) {
        if (loader.max_x() != 0 || loader.max_y() != 0) fail("empty outline: largest bound not 0");
        if (loader.min_x() != 99999 || loader.min_y() != 99999) fail("empty outline: smallest bound not 99999");
        return 0;
    }
    if (loader.min_x() > loader.max_x() || loader.min_y() > loader.max_y()) fail("min above max");
    int32_t min_x = points[0].x, max_x = points[0].x, min_y = points[0].y, max_y = points[0].y;
    for (const LandscapePoint& p : points) {
        if (p.x < min_x) min_x = p.x;
        if (p.x > max_x) max_x = p.x;
        if (p.y < min_y) min_y = p.y;
        if (p.y > max_y) max_y = p.y;
    }
    if (min_x != loader.min_x() || max_x != loader.max_x() || min_y != loader.min_y() || max_y != loader.max_y())
        fail("bounds are not the extremes of the vertices");

    // take_points hands over the same vertices and leaves the loader empty.
    const std::vector<LandscapePoint> taken = loader.take_points();
    if (taken.size() != points.size() || loader.point_count() != 0) fail("take_points");
    return 0;
}
