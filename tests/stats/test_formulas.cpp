// b, its error, a and the goodness-of-fit residual R on catalogues small
// enough to work out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "stats/gutenberg_richter.h"
#include "stats/magnitude_bins.h"
#include "tests/stats/stats_test_support.h"

namespace {

TEST(Formulas, FiveEventsAboveAGivenMcWorkedByHand) {
    // Magnitudes 1.0, 1.0, 1.1, 1.2, 1.5, the last line written twice as the
    // importer writes it (it counts once); Mc = 1.0, bins of 0.1.
    //   n = 5, mean = 5.8 / 5 = 1.16
    //   b = log10(e) / (1.16 - (1.0 - 0.05)) = 0.4342945 / 0.21 = 2.068069
    //   sum of (M - mean)^2 = 2 (0.16^2) + 0.06^2 + 0.04^2 + 0.34^2 = 0.172
    //   error = 2.30 b^2 sqrt(0.172 / (5 * 4)) = 2.30 * 4.276909 * 0.0927362 = 0.912236
    //   a = log10 5 + b * 1.0 = 0.698970 + 2.068069 = 2.767039
    ScratchDir scratch;
    std::vector<TestEvent> events;
    const double magnitudes[] = {1.0, 1.0, 1.1, 1.2, 1.5};
    for (int i = 0; i < 5; ++i) events.push_back(TestEvent{2001, 3, 10 + i, 3600 * i, 34.5, -118.2, magnitudes[i]});
    const std::string catalogue = scratch.write("five.txt", catalogue_text(events, true));

    const StatsRun run = run_stats(scratch, {"--json", "--mc", "1.0", catalogue});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(json_value(run.out, "events"), "5");
    EXPECT_EQ(json_value(run.out, "events_above_mc"), "5");
    EXPECT_EQ(json_value(run.out, "mc_method"), "given");
    EXPECT_DOUBLE_EQ(json_number(run.out, "mc"), 1.0);
    EXPECT_NEAR(json_number(run.out, "b"), 2.068069, 1e-5);
    EXPECT_NEAR(json_number(run.out, "b_error"), 0.912236, 1e-5);
    EXPECT_NEAR(json_number(run.out, "a"), 2.767039, 1e-5);
    EXPECT_EQ(json_value(run.out, "first"), "2001-03-10T00:00:00.00");
    EXPECT_EQ(json_value(run.out, "last"), "2001-03-14T04:00:00.00");
}

TEST(Formulas, GoodnessOfFitResidualWorkedByHand) {
    // 15 events of 1.0, 10 of 1.1 and 5 of 1.2; maxc is 1.0. Candidates run
    // from maxc - 0.9 = 0.1 up, but only those with at least 25 events at or
    // above them: 0.1 to 1.0 (1.1 has 15).
    // At Mc = 1.0: n = 30, mean = 32 / 30 = 1.066667,
    //   b = 0.4342945 / 0.1166667 = 3.722524, a = log10 30 + b = 5.199645;
    //   S(1.0) = 30, S(1.1) = 30 * 10^-0.3722524 = 12.73119,
    //   S(1.2) = 30 * 10^-0.7445048 = 5.402769; B = 30, 15, 5;
    //   R = 100 (0 + 2.26881 + 0.402769) / 50 = 5.34317 %.
    std::vector<float> magnitudes(15, 1.0f);
    magnitudes.insert(magnitudes.end(), 10, 1.1f);
    magnitudes.insert(magnitudes.end(), 5, 1.2f);
    const MagnitudeBins bins = *MagnitudeBins::of_width(0.1);
    const MagnitudeHistogram histogram(magnitudes, bins);

    EXPECT_EQ(max_curvature_bin(histogram), 10);
    const std::vector<FitResidual> residuals = goodness_of_fit(histogram, bins, 10);
    ASSERT_EQ(residuals.size(), 10u);
    EXPECT_EQ(residuals.front().mc_bin, 1);
    EXPECT_EQ(residuals.back().mc_bin, 10);
    EXPECT_NEAR(residuals.back().r, 5.34317, 1e-4);

    const std::optional<GutenbergRichterFit> fit = fit_gutenberg_richter(histogram, bins, 10);
    ASSERT_TRUE(fit.has_value());
    EXPECT_NEAR(fit->b, 3.722524, 1e-5);
    EXPECT_NEAR(fit->a, 5.199645, 1e-5);
}

}  // namespace
