// Map mode's parts that need no display: depth classes and their colours,
// the keys band's layout, the framing, and the map-mode options.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "record/map_style.h"
#include "record/record_options.h"

namespace {

ParseResult parse(std::vector<std::string> args) {
    args.insert(args.begin(), "sismap-record");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    return parse_record_options(static_cast<int>(argv.size()), argv.data());
}

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

TEST(MapOptions, EachMapOptionSwitchesToMapModeAndIsChecked) {
    const ParseResult plain = parse({"l.txt", "q.txt", "o.gif"});
    ASSERT_TRUE(plain.run);
    EXPECT_FALSE(plain.options.map_mode);
    for (const std::vector<std::string>& extra : std::vector<std::vector<std::string>>{
             {"--fit"}, {"--coast", "a.txt"}, {"--size", "1280x720"}, {"--colour", "age"}}) {
        std::vector<std::string> args = extra;
        for (const char* p : {"l.txt", "q.txt", "o.gif"}) args.push_back(p);
        const ParseResult r = parse(args);
        ASSERT_TRUE(r.run) << r.text;
        EXPECT_TRUE(r.options.map_mode) << extra[0];
    }
    const ParseResult r = parse({"--coast", "a.txt", "--coast", "b.shp", "--size", "1920x1080", "--colour", "depth",
                                 "--depth-classes", "20,70,300", "l.txt", "q.txt", "o.mp4"});
    ASSERT_TRUE(r.run) << r.text;
    EXPECT_EQ(r.options.coasts, (std::vector<std::string>{"a.txt", "b.shp"}));
    EXPECT_EQ(r.options.width, 1920);
    EXPECT_EQ(r.options.height, 1080);
    EXPECT_EQ(r.options.colouring, Colouring::Depth);
    EXPECT_EQ(r.options.depth_bounds, (std::vector<double>{20, 70, 300}));
    EXPECT_EQ(r.options.landscape_path, "l.txt");

    struct Refused {
        std::vector<std::string> args;
        std::string text;
    };
    for (const Refused& c : std::vector<Refused>{
             {{"--size", "63x64"}, "--size must"}, {{"--size", "3841x100"}, "--size must"},
             {{"--size", "100x2161"}, "--size must"}, {{"--size", "100"}, "--size must"},
             {{"--size", "x100"}, "--size must"}, {{"--size", "-100x100"}, "--size must"},
             {{"--colour", "blue"}, "--colour must"}, {{"--depth-classes", "300,70"}, "--depth-classes must"},
             {{"--depth-classes", "0,70"}, "--depth-classes must"}, {{"--depth-classes", "70,"}, "--depth-classes must"}}) {
        std::vector<std::string> args = c.args;
        for (const char* p : {"l.txt", "q.txt", "o.gif"}) args.push_back(p);
        const ParseResult refused = parse(args);
        EXPECT_FALSE(refused.run) << c.args[1];
        EXPECT_EQ(refused.exit_code, kExitCommandLine) << c.args[1];
        EXPECT_EQ(refused.text.rfind("sismap-record: " + c.text, 0), 0u) << refused.text;
    }
    // H.264's halved colour planes need even sides.
    const ParseResult odd = parse({"--size", "1281x720", "l.txt", "q.txt", "o.mp4"});
    EXPECT_FALSE(odd.run);
    EXPECT_EQ(odd.exit_code, kExitCommandLine);
    EXPECT_NE(odd.text.find("even sides"), std::string::npos) << odd.text;
    EXPECT_TRUE(parse({"--size", "1281x721", "l.txt", "q.txt", "o.gif"}).run);
}

}  // namespace
