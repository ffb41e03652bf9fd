// Map mode's parts that need no display: depth classes and their colours,
// the keys band's layout, the framing and the dashes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "record/map_style.h"

namespace {

bool same(const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
double brightness(const Rgb& c) { return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b; }

TEST(MapStyle, DepthClassesSplitAtTheirBoundsAndUnknownIsGrey) {
    const std::vector<double> bounds = {70.0, 300.0};
    EXPECT_EQ(depth_class(0.0f, bounds), 0);
    EXPECT_EQ(depth_class(69.99f, bounds), 0);
    EXPECT_EQ(depth_class(70.0f, bounds), 1);
    EXPECT_EQ(depth_class(299.0f, bounds), 1);
    EXPECT_EQ(depth_class(300.0f, bounds), 2);
    EXPECT_EQ(depth_class(690.0f, bounds), 2);
    EXPECT_EQ(depth_class(-1.5f, bounds), 0);  // above sea level: shallow
    EXPECT_EQ(depth_class(std::nanf(""), bounds), -1);
    EXPECT_TRUE(same(depth_class_colour(-1, 3), kUnknownDepthColour));
    EXPECT_EQ(kUnknownDepthColour.r, kUnknownDepthColour.g);
    EXPECT_EQ(kUnknownDepthColour.g, kUnknownDepthColour.b);
    // One sequential scale: shallow warm (red above blue), deep cool (blue
    // above red), each class distinct and readable on black.
    const Rgb shallow = depth_class_colour(0, 3);
    const Rgb deep = depth_class_colour(2, 3);
    EXPECT_GT(shallow.r, shallow.b);
    EXPECT_GT(deep.b, deep.r);
    EXPECT_GT(brightness(depth_class_colour(0, 3)), brightness(depth_class_colour(1, 3)));
    EXPECT_GT(brightness(depth_class_colour(1, 3)), brightness(depth_class_colour(2, 3)));
    EXPECT_GT(brightness(deep), 0.2);
    for (int k = 0; k < 3; ++k) EXPECT_FALSE(same(depth_class_colour(k, 3), kUnknownDepthColour)) << k;
}

TEST(MapStyle, AgeDimsTheMagnitudeColourToAQuarter) {
    const Rgb full = aged_colour(5.0f, 1.0);
    EXPECT_TRUE(same(full, magnitude_colour(5.0f)));
    const Rgb oldest = aged_colour(5.0f, 0.0);
    EXPECT_FLOAT_EQ(oldest.r, full.r * 0.25f);
    EXPECT_FLOAT_EQ(oldest.g, full.g * 0.25f);
}

TEST(MapStyle, MarksKeepThePixelSizeOfTheViewersStartUpView) {
    // Magnitude 5 in the viewer's 650-pixel window: 0.125 units of a side of
    // 2 * 18 * tan(30) = 20.78 units, 3.91 pixels; twice that at 1300 lines.
    EXPECT_NEAR(mark_half_pixels(5.0f, 650), 3.91, 0.01);
    EXPECT_NEAR(mark_half_pixels(5.0f, 1300), 7.82, 0.02);
    EXPECT_EQ(mark_half_pixels(0.5f, 650), 2.0);
    EXPECT_GE(key_cap_height(1920, 1080), 14.0);
}

TEST(MapStyle, BandBoxesNeverOverlapNorLeaveTheFrame) {
    for (const int width : {64, 300, 650, 1280, 1920, 3840}) {
        const double cap = key_cap_height(width, 720);
        const std::vector<KeyBox> boxes = {{cap * 8, cap * 1.4}, {cap * 22, cap * 1.4}, {cap * 12, cap * 2},
                                           {cap * 25, cap * 1.5}};
        const BandLayout band = lay_out_band(boxes, width, cap);
        ASSERT_EQ(band.placed.size(), boxes.size());
        for (size_t i = 0; i < boxes.size(); ++i) {
            const KeyBox& a = band.placed[i];
            EXPECT_GE(a.height, 0.0) << width;
            EXPECT_LE(a.height + boxes[i].height, band.height) << width;
            if (boxes[i].width <= width - 2 * cap) {
                EXPECT_LE(a.width + boxes[i].width, width) << width << " " << i;
            }
            for (size_t j = i + 1; j < boxes.size(); ++j) {
                const KeyBox& b = band.placed[j];
                const bool apart = a.width + boxes[i].width <= b.width || b.width + boxes[j].width <= a.width ||
                                   a.height + boxes[i].height <= b.height || b.height + boxes[j].height <= a.height;
                EXPECT_TRUE(apart) << width << ": boxes " << i << " and " << j;
            }
        }
    }
}

TEST(MapStyle, TheOutlineIsFramedWithItsMarginInTheMapsAspect) {
    // A 3-degree square in a wide map: the height is the limit.
    WorldWindow w = frame_outline(120, 21, 123, 24, 1280, 640, 0.05);
    EXPECT_NEAR(w.top - w.bottom, 3.0 / 0.9, 1e-9);
    EXPECT_NEAR((w.right - w.left) / (w.top - w.bottom), 2.0, 1e-9);
    EXPECT_NEAR((w.left + w.right) / 2, 121.5, 1e-9);
    // The world in a square map: the width is the limit.
    w = frame_outline(-180, -90, 180, 90, 650, 600, 0.05);
    EXPECT_NEAR(w.right - w.left, 400.0, 1e-9);
}

// Dashes run on along the whole line, across its corners, and a dash cut
// short by the line's end is kept while a gap's is not.
TEST(MapStyle, DashesRunOnAcrossCorners) {
    using Points = std::vector<std::pair<double, double>>;
    const Points corner{{0, 0}, {10, 0}, {10, 10}};
    EXPECT_EQ(dashes(corner, 4.0), (std::vector<Points>{{{0, 0}, {4, 0}}, {{8, 0}, {10, 0}, {10, 2}}, {{10, 6}, {10, 10}}}));
    EXPECT_EQ(dashes(corner, 3.0), (std::vector<Points>{{{0, 0}, {3, 0}}, {{6, 0}, {9, 0}}, {{10, 2}, {10, 5}},
                                                         {{10, 8}, {10, 10}}}));
    // Ending exactly where a gap starts leaves no one-point dash behind.
    EXPECT_EQ(dashes({{0, 0}, {5, 0}}, 5.0), (std::vector<Points>{{{0, 0}, {5, 0}}}));
    EXPECT_TRUE(dashes({{0, 0}, {10, 0}}, 0.0).empty());
    EXPECT_TRUE(dashes({{1, 1}}, 2.0).empty());
    EXPECT_TRUE(dashes({}, 2.0).empty());
}

}  // namespace
