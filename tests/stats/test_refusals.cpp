// What the statistics must not claim, and what the figure must still show
// when the data are degenerate: no b-value without a spread of magnitudes,
// a legend that covers no data, a goodness-of-fit panel that stays a curve
// with bins far narrower than a pixel.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <vector>

#include "tests/stats/stats_test_support.h"

namespace {

// `count` events of one magnitude, one a day from 2018-03-01.
std::string one_magnitude(const ScratchDir& scratch, int count, double magnitude) {
    std::vector<TestEvent> events;
    for (int i = 0; i < count; ++i)
        events.push_back(TestEvent{2018, 3 + i / 28, 1 + i % 28, 3600 * (i % 24), 35.0, -117.0, magnitude});
    return scratch.write("flat.txt", catalogue_text(events, false));
}

TEST(NoSpread, NoBWhenTheEventsAboveMcFillOneBin) {
    ScratchDir scratch;
    const std::string catalogue = one_magnitude(scratch, 100, 2.5);
    StatsRun run = run_stats(scratch, {"--json", "--mc", "maxc", catalogue});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(json_value(run.out, "mc"), "2.5");
    EXPECT_EQ(json_value(run.out, "events_above_mc"), "100");
    EXPECT_EQ(json_value(run.out, "b"), "null") << run.out;
    EXPECT_EQ(json_value(run.out, "b_error"), "null");
    EXPECT_EQ(json_value(run.out, "a"), "null");

    // The summary says why, and the figure is still drawn.
    const std::string figure = scratch.path("flat.png");
    run = run_stats(scratch, {"--mc", "maxc", catalogue, figure});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("no b-value: the 100 events at or above Mc lie in fewer than two bins of 0.1"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("b = "), std::string::npos) << run.out;
    EXPECT_EQ(read_file(figure).substr(1, 3), "PNG");

    // Two bins are enough for a b-value.
    std::vector<TestEvent> two_bins{{2018, 3, 1, 0, 35.0, -117.0, 2.5}, {2018, 3, 2, 0, 35.0, -117.0, 2.6}};
    run = run_stats(scratch, {"--json", "--mc", "2.5", scratch.write("two.txt", catalogue_text(two_bins, false))});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NEAR(json_number(run.out, "b"), 0.4342945 / (2.55 - 2.45), 1e-5) << run.out;
}

struct Blob {
    int width, height, pixels;
};

// The connected blobs of black pixels in a box of the image.
std::vector<Blob> black_blobs(const std::string& path, int x0, int y0, int x1, int y1) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> grey(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr)) return {};
    const int w = static_cast<int>(image.width);
    std::vector<char> seen(grey.size(), 0);
    auto black = [&](int x, int y) { return grey[static_cast<size_t>(y) * w + x] < 60; };
    std::vector<Blob> blobs;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            if (!black(x, y) || seen[static_cast<size_t>(y) * w + x]) continue;
            int left = x, right = x, top = y, bottom = y, pixels = 0;
            std::vector<std::pair<int, int>> stack{{x, y}};
            seen[static_cast<size_t>(y) * w + x] = 1;
            while (!stack.empty()) {
                const auto [px, py] = stack.back();
                stack.pop_back();
                ++pixels;
                left = std::min(left, px), right = std::max(right, px);
                top = std::min(top, py), bottom = std::max(bottom, py);
                for (const auto& [dx, dy] : {std::make_pair(1, 0), std::make_pair(-1, 0), std::make_pair(0, 1),
                                             std::make_pair(0, -1)}) {
                    const int nx = px + dx, ny = py + dy;
                    if (nx < x0 || nx >= x1 || ny < y0 || ny >= y1) continue;
                    if (!black(nx, ny) || seen[static_cast<size_t>(ny) * w + nx]) continue;
                    seen[static_cast<size_t>(ny) * w + nx] = 1;
                    stack.push_back({nx, ny});
                }
            }
            blobs.push_back(Blob{right - left + 1, bottom - top + 1, pixels});
        }
    return blobs;
}

TEST(FigureLayout, TheLegendCoversNoData) {
    // The one magnitude is one filled triangle of the cumulative count, in
    // the middle of the plot's top, where the legend went; the legend shows
    // a second triangle. Both must be seen.
    ScratchDir scratch;
    const std::string figure = scratch.path("flat.png");
    const StatsRun run = run_stats(scratch, {"--quiet", "--mc", "maxc", one_magnitude(scratch, 100, 2.5), figure});
    ASSERT_EQ(run.status, 0) << run.err;
    int triangles = 0;
    for (const Blob& blob : black_blobs(figure, 0, 0, 600, 450))  // the magnitude-frequency plot
        if (blob.width >= 8 && blob.width <= 30 && blob.height >= 8 && blob.height <= 30 &&
            blob.pixels * 2 >= blob.width * blob.height)
            ++triangles;
    EXPECT_EQ(triangles, 2);
}

TEST(FigureLayout, TinyBinsThinnedToWhatThePlotsCanShow) {
    // Hundredths from 2.00 to 2.49 in bins of a ten-thousandth: some ten
    // thousand candidate Mc and five thousand bins, once a mark each.
    ScratchDir scratch;
    // Magnitudes of two decimals, which catalogue_text does not write.
    std::string lines = "year,month,day,time,latitude,longitude,magnitude\n";
    for (int i = 0; i < 2000; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "2018,%02d,%02d,%02d%02d00.00,35.0,-117.0,%.2f\n", 1 + i / 200,
                      1 + i / 10 % 20, i / 60 % 24, i % 60, 2.0 + (i * 7 % 50) / 100.0);
        lines += line;
    }
    const std::string figure = scratch.path("tiny.svg");
    const StatsRun run =
        run_stats(scratch, {"--quiet", "--bin", "0.0001", scratch.write("tiny.txt", lines), figure});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string svg = read_file(figure);
    // Each mark and letter is a path or a use of a glyph: some 22,000 with
    // a mark for every bin and candidate, some 3,000 for marks of a hundred
    // and fifty columns a plot, the texts and the 2,000 events.
    size_t marks = 0;
    for (const char* element : {"<path", "<use"})
        for (size_t at = svg.find(element); at != std::string::npos; at = svg.find(element, at + 1)) ++marks;
    EXPECT_LT(marks, 8000u);
    EXPECT_GT(marks, 2000u);
}

}  // namespace
