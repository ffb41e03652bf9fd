// A catalogue written by sismap-import, loaded by the viewer's start-up: the
// full view's drawn range holds every imported event.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "app/startup.h"
#include "app/viewer_state.h"
#include "tests/test_support.h"

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

}  // namespace
