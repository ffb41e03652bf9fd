// Magnitudes fall into bins by their written value, not by the float the
// reader makes of it: 1.9 is read as 1.8999999 and still counts as 1.9.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "data/number_text.h"
#include "stats/magnitude_bins.h"
#include "tests/stats/stats_test_support.h"

namespace {

TEST(Bins, EveryHundredthReadAsAFloatFallsInTheBinOfItsText) {
    const MagnitudeBins tenths = *MagnitudeBins::of_width(0.1);
    const MagnitudeBins halves = *MagnitudeBins::of_width(0.5);
    for (int hundredths = 1; hundredths < 10000; ++hundredths) {
        char text[16];
        std::snprintf(text, sizeof text, "%d.%02d", hundredths / 100, hundredths % 100);
        const float read = parse_float_field(text);  // as the viewer's reader reads it
        // round(M / width), halves up, on the written hundredths.
        EXPECT_EQ(tenths.bin_of(read), (hundredths + 5) / 10) << text;
        EXPECT_EQ(halves.bin_of(read), (hundredths + 25) / 50) << text;
    }
}

TEST(Bins, MagnitudesOf19CountAs19ForTheSelectionAndMc) {
    ScratchDir scratch;
    std::vector<TestEvent> events;
    const double magnitudes[] = {1.8, 1.9, 1.8, 1.9, 2.0, 1.9, 1.8, 2.1, 1.9, 2.0};
    for (int i = 0; i < 10; ++i) events.push_back(TestEvent{2005, 6, 1 + i, 0, 36.0, -120.0, magnitudes[i]});
    const std::string catalogue = scratch.write("nineteen.txt", catalogue_text(events, false));

    // The four 1.9s are at least --min-mag 1.9 and at or above Mc 1.9.
    StatsRun run = run_stats(scratch, {"--json", "--min-mag", "1.9", "--mc", "1.9", catalogue});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(json_value(run.out, "events"), "7");
    EXPECT_EQ(json_value(run.out, "events_above_mc"), "7");

    // The bin of 1.9 holds the most events.
    run = run_stats(scratch, {"--json", "--mc", "maxc", catalogue});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(json_value(run.out, "mc"), "1.9");
    EXPECT_EQ(json_value(run.out, "events_above_mc"), "7");
}

}  // namespace
