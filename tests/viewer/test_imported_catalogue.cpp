// A catalogue written by sismap-import, loaded by the viewer's start-up: the
// full view's drawn range holds every imported event.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "app/startup.h"
#include "app/viewer_state.h"
#include "data/catalogue_reader.h"
#include "tests/gl_recorder.h"
#include "tests/test_support.h"
#include "view/scene.h"

namespace {

TEST(ImportedCatalogue, FullViewDrawsEveryImportedEvent) {
    const std::string catalogue = std::string(SISMAP_SOURCE_DIR) + "/tests/import/data/week_expected.txt";
    std::ifstream in(catalogue);
    std::string line;
    std::getline(in, line);  // header
    std::set<std::tuple<int, int, int, int, float, float, float>> events;
    while (std::getline(in, line)) {
        int year, month, day, hour_minute_second, hundredths;
        float latitude, longitude, magnitude;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d,%d,%d,%d.%d,%f,%f,%f", &year, &month, &day, &hour_minute_second,
                              &hundredths, &latitude, &longitude, &magnitude),
                  8);
        events.emplace(year * 10000 + month * 100 + day, hour_minute_second, hundredths, 0, latitude, longitude,
                       magnitude);
    }
    ASSERT_EQ(events.size(), 7u);

    ScratchDir dir;
    const std::string land = dir.write("land.txt", "y,x\n-20,-180\n70,-180\n70,180\n-20,180\n");
    reset_program_state();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(load_viewer_state(land.c_str(), catalogue.c_str()));
    testing::internal::GetCapturedStdout();

    // The drawn range is first_index <= i < last_index.
    std::set<std::tuple<int, int, int, int, float, float, float>> drawn;
    for (int32_t i = viewer.first_index; i < viewer.last_index; ++i) {
        const QuakeRecord& r = viewer.catalogue[static_cast<size_t>(i)];
        drawn.emplace(r.date.year * 10000 + r.date.month * 100 + r.date.day,
                      r.time.hour * 10000 + r.time.minute * 100 + r.time.second, r.time.hundredths, 0, r.latitude,
                      r.longitude, r.magnitude);
    }
    EXPECT_EQ(drawn, events);
    reset_program_state();
}

// The importer's eighth column, depth, changes nothing for the viewer: the
// catalogue with it loads the same entries, prints the same lines and draws
// the same frame, call for call, as its seven-column twin.
TEST(ImportedCatalogue, TheDepthColumnLoadsAndDrawsAsWithoutIt) {
    ScratchDir dir;
    const std::string land = dir.write("land.txt", "y,x\n-20,-180\n70,-180\n70,180\n-20,180\n");
    struct Seen {
        std::string printed;
        std::vector<QuakeRecord> records;
        std::vector<GlCall> frame;
    };
    const auto load_and_draw = [&land](const std::string& name) {
        const std::string catalogue = std::string(SISMAP_SOURCE_DIR) + "/tests/import/data/" + name;
        Seen seen;
        reset_program_state();
        testing::internal::CaptureStdout();
        EXPECT_TRUE(load_viewer_state(land.c_str(), catalogue.c_str()));
        seen.printed = testing::internal::GetCapturedStdout();
        seen.records = viewer.catalogue;
        gl_recorder::reset();
        draw_scene();
        seen.frame = gl_recorder::calls();
        reset_program_state();
        return seen;
    };
    const Seen seven = load_and_draw("week_expected.txt");
    const Seen eight = load_and_draw("week_expected_depth.txt");
    const std::string folder = std::string(SISMAP_SOURCE_DIR) + "/tests/import/data/";
    EXPECT_EQ(eight.printed, std::regex_replace(seven.printed, std::regex("week_expected"), "week_expected_depth"));
    ASSERT_EQ(eight.records.size(), seven.records.size());
    for (size_t i = 0; i < seven.records.size(); ++i) {
        const QuakeRecord& a = seven.records[i];
        const QuakeRecord& b = eight.records[i];
        EXPECT_EQ(std::tie(a.date.year, a.date.month, a.date.day, a.time.hour, a.time.minute, a.time.second,
                           a.time.hundredths, a.latitude, a.longitude, a.magnitude),
                  std::tie(b.date.year, b.date.month, b.date.day, b.time.hour, b.time.minute, b.time.second,
                           b.time.hundredths, b.latitude, b.longitude, b.magnitude))
            << i;
        EXPECT_STREQ(a.date.text(), b.date.text()) << i;
    }
    ASSERT_EQ(eight.frame.size(), seven.frame.size());
    for (size_t i = 0; i < seven.frame.size(); ++i) {
        EXPECT_EQ(eight.frame[i].name, seven.frame[i].name) << i;
        EXPECT_EQ(eight.frame[i].args, seven.frame[i].args) << i;
    }

    // The depth-aware reading takes the column where it is, and NaN where
    // the field is empty, no number or missing.
    std::vector<QuakeRecord> records;
    std::vector<float> depths;
    read_catalogue_text(read_file(folder + "week_expected_depth.txt"), records, &depths);
    EXPECT_EQ(depths, (std::vector<float>{25.0f, 10.0f, 62.3f, 30.0f, 8.0f, 10.5f, 2.1f, 2.1f}));
    records.clear();
    depths.clear();
    read_catalogue_text("h\n2024,03,01,000000.00,1.0,2.0,4.4,\n2024,03,01,000000.00,1.0,2.0,4.4,x\n"
                        "2024,03,01,000000.00,1.0,2.0,4.4\n2024,3,1,0.00,1.0,2.0,4.4,700.5\n"
                        "2024,03,01,000000.00,1.0,2.0,0,9\n",
                        records, &depths);
    ASSERT_EQ(depths.size(), 4u);
    EXPECT_TRUE(std::isnan(depths[0]) && std::isnan(depths[1]) && std::isnan(depths[2]));
    EXPECT_EQ(depths[3], 700.5f);
}

}  // namespace
