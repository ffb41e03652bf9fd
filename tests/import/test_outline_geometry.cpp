// Outline geometry: rounding, the reduction of a ring to whole-degree
// vertices, ring areas, orientation and the catalogue box.
#include <gtest/gtest.h>

#include <vector>

#include "import/outline/outline_geometry.h"

namespace {

using Grid = std::vector<GridVertex>;

// A ring from (lat, lon) pairs, the viewer's order, to keep cases readable.
GeoRing ring_of(std::initializer_list<std::pair<double, double>> lat_lon) {
    GeoRing ring;
    for (const auto& [lat, lon] : lat_lon) ring.push_back(GeoPoint{lon, lat});
    return ring;
}

Grid grid_of(std::initializer_list<std::pair<int, int>> lat_lon) {
    Grid grid;
    for (const auto& [lat, lon] : lat_lon) grid.push_back(GridVertex{lat, lon});
    return grid;
}

TEST(OutlineRounding, HalvesGoAwayFromZero) {
    EXPECT_EQ(round_half_away(0.5), 1);
    EXPECT_EQ(round_half_away(-0.5), -1);
    EXPECT_EQ(round_half_away(2.5), 3);
    EXPECT_EQ(round_half_away(-2.5), -3);
    EXPECT_EQ(round_half_away(179.5), 180);
    EXPECT_EQ(round_half_away(-179.5), -180);
    EXPECT_EQ(round_half_away(2.4999999), 2);
    EXPECT_EQ(round_half_away(-2.4999999), -2);
    EXPECT_EQ(round_half_away(-0.4), 0);
    // A ring whose vertices all sit on halves rounds outwards on every side.
    EXPECT_EQ(reduce_ring(ring_of({{0.5, 0.5}, {0.5, -0.5}, {-0.5, -0.5}, {-0.5, 0.5}})),
              grid_of({{1, 1}, {1, -1}, {-1, -1}, {-1, 1}}));
}

TEST(OutlineReduction, DropsDuplicatesAndTheClosingRepeat) {
    EXPECT_EQ(reduce_ring(ring_of({{0, 0}, {0.2, 0.1}, {0, 5}, {5, 5}, {5.3, 4.8}, {5, 0}, {0, 0}})),
              grid_of({{0, 0}, {0, 5}, {5, 5}, {5, 0}}));
    // Duplicates that straddle the start: the last vertices round onto the first.
    EXPECT_EQ(reduce_ring(ring_of({{0, 0}, {0, 5}, {5, 5}, {5, 0}, {0.3, 0.2}, {-0.1, 0.4}})),
              grid_of({{0, 0}, {0, 5}, {5, 5}, {5, 0}}));
}

TEST(OutlineReduction, CollapsesSpikesUntilNoneIsLeft) {
    // A, B, A -> A.
    EXPECT_EQ(reduce_ring(ring_of({{0, 0}, {0, 5}, {9, 5}, {0, 5}, {5, 5}, {5, 0}})),
              grid_of({{0, 0}, {0, 5}, {5, 5}, {5, 0}}));
    // A spike in a spike: A, B, C, B, A -> A.
    EXPECT_EQ(reduce_ring(ring_of({{0, 0}, {0, 5}, {3, 8}, {4, 9}, {3, 8}, {0, 5}, {5, 5}, {5, 0}})),
              grid_of({{0, 0}, {0, 5}, {5, 5}, {5, 0}}));
    // A spike that only appears after rounding joins two vertices.
    EXPECT_EQ(reduce_ring(ring_of({{0, 0}, {0, 5}, {2, 7}, {2.2, 7.1}, {0.1, 5.2}, {5, 5}, {5, 0}})),
              grid_of({{0, 0}, {0, 5}, {5, 5}, {5, 0}}));
}

TEST(OutlineReduction, SpikesAroundTheStartOfTheRing) {
    // The first vertex is the tip of a spike: Z | A, Z.
    EXPECT_EQ(reduce_ring(ring_of({{9, 9}, {5, 5}, {5, 0}, {0, 0}, {0, 5}, {5, 5}})),
              grid_of({{5, 5}, {5, 0}, {0, 0}, {0, 5}}));
    // The last vertex is the tip: A, B | A.
    EXPECT_EQ(reduce_ring(ring_of({{0, 0}, {0, 5}, {5, 5}, {5, 0}, {0, 0}, {-7, -7}})),
              grid_of({{0, 0}, {0, 5}, {5, 5}, {5, 0}}));
    // A spike spanning the closing repeat, collapsing in turns across the start.
    EXPECT_EQ(reduce_ring(ring_of({{3, 3}, {4, 4}, {0, 0}, {0, 5}, {5, 5}, {5, 0}, {0, 0}, {4, 4}})),
              grid_of({{0, 0}, {0, 5}, {5, 5}, {5, 0}}));
}

TEST(OutlineReduction, DegenerateRingsLeaveFewerThanThreeDistinctVertices) {
    // An island smaller than a degree.
    EXPECT_EQ(distinct_vertex_count(reduce_ring(ring_of({{40.1, 10.1}, {40.3, 10.2}, {40.2, 10.4}}))), 1u);
    // A sliver, there and back again, is one big spike.
    EXPECT_EQ(reduce_ring(ring_of({{0, 0}, {0, 3}, {0.1, 3}, {0.2, 0.1}})), grid_of({{0, 0}}));
    EXPECT_TRUE(reduce_ring({}).empty());
    EXPECT_EQ(distinct_vertex_count(grid_of({{0, 0}, {0, 5}, {5, 5}, {0, 5}})), 3u);
}

TEST(OutlineGeometry, RingAreaWeighsLatitude) {
    const GeoRing equator = ring_of({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    EXPECT_DOUBLE_EQ(ring_area(equator), ring_area(GeoRing(equator.rbegin(), equator.rend())));
    // 11 x 10 degrees near the pole enclose less than 10 x 10 at the equator.
    const GeoRing polar = ring_of({{70, 0}, {81, 0}, {81, 10}, {70, 10}});
    EXPECT_GT(signed_degree_area(polar) * -1, signed_degree_area(equator) * -1 * 1.05);
    EXPECT_LT(ring_area(polar), ring_area(equator));
    EXPECT_EQ(ring_area(ring_of({{0, 0}, {1, 1}})), 0);
}

TEST(OutlineGeometry, OrientationTurnsClockwiseKeepingTheFirstVertex) {
    Grid counter = grid_of({{0, 0}, {0, 5}, {5, 5}, {5, 0}});  // east, north, west: counter-clockwise
    orient_clockwise(counter);
    EXPECT_EQ(counter, grid_of({{0, 0}, {5, 0}, {5, 5}, {0, 5}}));
    Grid clockwise = counter;
    orient_clockwise(clockwise);
    EXPECT_EQ(clockwise, counter);
}

TEST(OutlineGeometry, BoxFloorsAndCeilsWithMargin) {
    EXPECT_EQ(box_outline(32.4, -118.9, 35.1, -115.2, 0), grid_of({{32, -119}, {36, -119}, {36, -115}, {32, -115}}));
    EXPECT_EQ(box_outline(-32.4, 118.9, -30.0, 120.0, 0), grid_of({{-33, 118}, {-30, 118}, {-30, 120}, {-33, 120}}));
    EXPECT_EQ(box_outline(32.4, -118.9, 35.1, -115.2, 2), grid_of({{30, -121}, {38, -121}, {38, -113}, {30, -113}}));
    // A fractional margin widens before rounding outwards.
    EXPECT_EQ(box_outline(32.4, -118.9, 35.1, -115.2, 0.5), grid_of({{31, -120}, {36, -120}, {36, -114}, {31, -114}}));
    // Clipped to the globe.
    EXPECT_EQ(box_outline(-89.5, -179.5, 89.5, 179.5, 3), grid_of({{-90, -180}, {90, -180}, {90, 180}, {-90, 180}}));
}

TEST(OutlineGeometry, FormatWritesTheViewersLayout) {
    EXPECT_EQ(format_outline(grid_of({{42, -124}, {-3, 0}, {0, 7}})), "lat,lon\n42,-124\n-3,0\n0,7\n");
}

}  // namespace
