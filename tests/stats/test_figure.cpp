// Each figure format is written and opens as what its name says.
#include <gtest/gtest.h>

#include <string>

#include "tests/stats/stats_test_support.h"

namespace {

uint32_t big_endian(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

class Figure : public ::testing::Test {
protected:
    // The sample catalogue's figure, drawn over an earlier file of that name.
    std::string draw(const std::string& name) {
        const std::string path = scratch_.write(name, "an earlier file");
        const StatsRun run =
            run_stats(scratch_, {"--quiet", SISMAP_SOURCE_DIR "/samples/california_quakes.txt", path});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "");
        return read_file(path);
    }
    ScratchDir scratch_;
};

TEST_F(Figure, PngOfAtLeast1000By800) {
    const std::string png = draw("stats.png");
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_GE(big_endian(png, 16), 1000u);
    EXPECT_GE(big_endian(png, 20), 800u);
}

TEST_F(Figure, Svg) {
    const std::string svg = draw("stats.svg");
    EXPECT_TRUE(svg.rfind("<?xml", 0) == 0 || svg.rfind("<svg", 0) == 0) << svg.substr(0, 80);
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST_F(Figure, Pdf) {
    const std::string pdf = draw("stats.pdf");
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_NE(pdf.find("%%EOF"), std::string::npos);
}

}  // namespace
