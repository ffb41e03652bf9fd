// A data-centre download given straight away is refused, with the importer's
// command that converts it, and nothing is written.
#include <gtest/gtest.h>

#include <cstdio>

#include <unistd.h>

#include "tests/stats/stats_test_support.h"

namespace {

TEST(Input, RawDownloadRefusedWithTheImportCommand) {
    ScratchDir scratch;
    const std::string download = scratch.write(
        "query.csv",
        "time,latitude,longitude,depth,mag,magType,nst,gap,dmin,rms,net,id,updated,place,type\n"
        "2019-07-06T03:19:53.040Z,35.7695,-117.5993,8,7.1,mw,,,,,ci,ci38457511,2019-07-07T00:00:00.000Z,"
        "\"2km SSE of Ridgecrest, CA\",earthquake\n"
        "2019-07-06T03:20:10.000Z,35.76,-117.6,5,4.2,ml,,,,,ci,ci38457512,2019-07-07T00:00:00.000Z,"
        "\"Ridgecrest, CA\",earthquake\n");
    const std::string figure = scratch.path("stats.png");

    const StatsRun run = run_stats(scratch, {download, figure});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("sismap-stats: " + download, 0), 0u) << run.err;
    EXPECT_NE(run.err.find("sismap-import catalogue " + download), std::string::npos) << run.err;
    EXPECT_NE(::access(figure.c_str(), F_OK), 0);
}

// A catalogue whose entries the viewer's reader all drops says how many
// and why, rather than that there is none.
TEST(Input, EntriesAllDroppedAreCountedWithTheReason) {
    ScratchDir scratch;
    const std::string catalogue = scratch.write("zero.txt",
                                                "year,month,day,time,latitude,longitude,magnitude\n"
                                                "2024,01,01,000000.00,35.0,-117.0,0.00\n"
                                                "2024,01,02,000000.00,35.0,-117.0,-1.00\n"
                                                "2024,01,03,000000.00,35.0,-117.0,0\n");
    const StatsRun run = run_stats(scratch, {catalogue});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(catalogue + ": no event in the catalogue: all 3 entries were dropped, as the viewer "
                                       "drops them: an entry needs seven fields and a magnitude above 0"),
              std::string::npos)
        << run.err;
}

// --depth selects on the catalogue's eighth column, ends included; lines
// without a depth are left out and counted in the summary.
TEST(Input, DepthSelection) {
    ScratchDir scratch;
    std::string text = "year,month,day,time,latitude,longitude,magnitude,depth\n";
    for (int i = 0; i < 40; ++i) {
        char line[128];
        // Depths 0, 10, ..., 390; every fifth line has none.
        if (i % 5 == 4)
            std::snprintf(line, sizeof line, "2020,01,%02d,000000.00,35.0000,-117.0000,%.2f,\n", 1 + i % 28,
                          2.0 + 0.1 * (i % 10));
        else
            std::snprintf(line, sizeof line, "2020,01,%02d,000000.00,35.0000,-117.0000,%.2f,%d.00\n", 1 + i % 28,
                          2.0 + 0.1 * (i % 10), 10 * i);
        text += line;
    }
    const std::string catalogue = scratch.write("deep.txt", text);
    const StatsRun all = run_stats(scratch, {"--json", catalogue});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(json_value(all.out, "events"), "40");
    // 100..300 km: depths 100, 110, ..., 300 but for the lines 14, 19, 24, 29, which have none.
    const StatsRun some = run_stats(scratch, {"--json", "--depth", "100,300", catalogue});
    ASSERT_EQ(some.status, 0) << some.err;
    EXPECT_EQ(json_value(some.out, "events"), "17");
    const StatsRun told = run_stats(scratch, {"--depth", "100,300", catalogue});
    EXPECT_NE(told.out.find("events: 17,"), std::string::npos) << told.out;
    EXPECT_NE(told.out.find("events without a depth, left out by --depth: 8\n"), std::string::npos) << told.out;
    const StatsRun none = run_stats(scratch, {"--depth", "1000,2000", catalogue});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no event is selected (8 without a depth, dropped by --depth)"), std::string::npos)
        << none.err;
    EXPECT_EQ(run_stats(scratch, {"--depth", "300,100", catalogue}).status, 2);
}

}  // namespace
