// Selection: event types, magnitudes, the time window and the region box,
// and the option values that set them.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include "tool/selection/selection_options.h"
#include "import_test_support.h"

namespace {

// One CSV row per event: time, latitude, longitude, magnitude, type.
std::string rows(std::initializer_list<std::string> lines) {
    std::string text = "time,latitude,longitude,mag,type\n";
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

size_t kept(const std::string& text, const Selection& selection, ImportCounts* counts = nullptr) {
    return read_events_bytes(text, "in", CatalogueFormat::guess, selection, counts).size();
}

TEST(Selection, TypesAndMagnitudes) {
    const std::string text = rows({"2020-01-01T00:00:00Z,1,1,2.0,earthquake", "2020-01-01T00:00:00Z,1,1,2.0,EARTHQUAKE",
                                   "2020-01-01T00:00:00Z,1,1,2.0,explosion", "2020-01-01T00:00:00Z,1,1,2.0,",
                                   "2020-01-01T00:00:00Z,1,1,0,earthquake", "2020-01-01T00:00:00Z,1,1,-1.2,earthquake",
                                   "2020-01-01T00:00:00Z,1,1,,earthquake", "2020-01-01T00:00:00Z,1,1,1.5,earthquake"});
    ImportCounts counts;
    EXPECT_EQ(kept(text, Selection(), &counts), 4u);  // an empty type counts as an earthquake
    EXPECT_EQ(counts.not_earthquake, 1u);
    EXPECT_EQ(counts.no_magnitude, 3u);
    Selection all;
    all.all_types = true;
    EXPECT_EQ(kept(text, all), 5u);
    Selection strong;
    strong.min_magnitude = 2.0;  // at least: 2.0 stays, 1.5 goes
    EXPECT_EQ(kept(text, strong, &counts), 3u);
    EXPECT_EQ(counts.below_min_magnitude, 1u);
}

TEST(Selection, TimeWindowIncludesFromAndExcludesTo) {
    const std::string text = rows({"2020-01-01T00:00:00Z,1,1,2,earthquake", "2020-01-01T23:59:59.999Z,1,1,2,earthquake",
                                   "2020-01-02T00:00:00Z,1,1,2,earthquake", "2019-12-31T23:59:59.999Z,1,1,2,earthquake"});
    ImportCounts counts;
    const Selection day = make_selection(false, std::nullopt, "2020-01-01", "2020-01-02", "", false);
    EXPECT_EQ(kept(text, day, &counts), 2u);
    EXPECT_EQ(counts.outside_time, 2u);
    const Selection from_only = make_selection(false, std::nullopt, "2020-01-01T23:59:59.999", "", "", false);
    EXPECT_EQ(kept(text, from_only), 2u);
    EXPECT_THROW(make_selection(false, std::nullopt, "2020-01-02", "2020-01-02", "", false), CLI::ValidationError);
    EXPECT_NE(check_time_option("2020-02-30"), "");
    EXPECT_EQ(check_time_option("2020-02-29T10:00:00Z"), "");
}

TEST(Selection, RegionEdgesCountAndTheAntimeridianWraps) {
    const std::string text = rows({"2020-01-01T00:00:00Z,10,170,2,earthquake", "2020-01-01T00:00:00Z,20,-170,2,earthquake",
                                   "2020-01-01T00:00:00Z,15,0,2,earthquake", "2020-01-01T00:00:00Z,20.0001,175,2,earthquake"});
    ImportCounts counts;
    const Selection pacific = make_selection(false, std::nullopt, "", "", "10,20,170,-170", false);
    EXPECT_EQ(kept(text, pacific, &counts), 2u);
    EXPECT_EQ(counts.outside_region, 2u);
    const Selection plain = make_selection(false, std::nullopt, "", "", "-90,90,-10,10", false);
    EXPECT_EQ(kept(text, plain), 1u);
}

TEST(Selection, ImpossibleRegionsAreRefused) {
    EXPECT_EQ(check_region_option("30,40,-120,-110"), "");
    EXPECT_EQ(check_region_option("40,30,-120,-110"), "the south edge lies north of the north edge");
    EXPECT_EQ(check_region_option("-91,40,-120,-110"), "latitudes must lie within -90 to 90");
    EXPECT_EQ(check_region_option("30,40,-181,-110"), "longitudes must lie within -180 to 180");
    for (const char* text : {"", "30,40,-120", "30,40,-120,-110,5", "a,40,-120,-110", "30,40,,-110", "30;40;1;2"})
        EXPECT_NE(check_region_option(text).find("expected four numbers"), std::string::npos) << text;
}

}  // namespace
