// Catalogues made with a fixed seed, with a known b-value and a known
// magnitude of completeness, found again through the real program. One file
// holds three populations told apart only by the selection options: two
// regions (b = 1.0 complete from 2.0, b = 0.8 complete from 1.5) until 2015,
// then a third (b = 1.6, complete from 1.0) in both regions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "calendar/calendar_date.h"
#include "tests/stats/stats_test_support.h"

namespace {

constexpr int kDaysPerYear = 365;

struct Population {
    double b;
    double mc;               // complete from here up
    double south, north;     // latitudes of its box
    int first_year, years;  // when its events happen
    int draws;               // magnitudes drawn before detection
};

constexpr Population kNorthernB1{1.0, 2.0, 30.0, 34.0, 2000, 15, 50000};
constexpr Population kSouthernB08{0.8, 1.5, 36.0, 40.0, 2000, 15, 50000};
constexpr Population kLaterB16North{1.6, 1.0, 30.0, 34.0, 2015, 2, 30000};
constexpr Population kLaterB16South{1.6, 1.0, 36.0, 40.0, 2015, 2, 30000};
constexpr double kWest = -120.0;
constexpr double kEast = -116.0;

// Uniform in [0, 1) from the raw 64-bit output, which the standard fixes
// for mt19937_64 (its distributions it does not).
double uniform(std::mt19937_64& engine) { return static_cast<double>(engine() >> 11) * 0x1.0p-53; }

// Events with magnitudes of the Gutenberg-Richter law from half a magnitude
// below Mc up, in bins of 0.1: every event at or above Mc is detected, one
// bin below it one in five, two bins below one in 25, and so on.
std::vector<TestEvent> draw(const Population& p, std::mt19937_64& engine) {
    std::vector<TestEvent> events;
    const double lowest = p.mc - 0.5;
    for (int i = 0; i < p.draws; ++i) {
        const double continuous = lowest - 0.05 - std::log(1.0 - uniform(engine)) / (p.b * std::log(10.0));
        const double magnitude = std::round(continuous * 10.0) / 10.0;
        const double bins_below = std::round((p.mc - magnitude) * 10.0);
        const double detection = bins_below > 0 ? std::pow(0.2, bins_below) : 1.0;
        const double detected = uniform(engine);
        const double when = uniform(engine) * p.years * kDaysPerYear;
        const double latitude = p.south + uniform(engine) * (p.north - p.south);
        const double longitude = kWest + uniform(engine) * (kEast - kWest);
        if (detected >= detection) continue;
        TestEvent event;
        int day = static_cast<int>(when);
        event.year = p.first_year + day / kDaysPerYear;
        day %= kDaysPerYear;
        event.month = 1;
        while (day >= days_in_month[event.month]) day -= days_in_month[event.month++];
        event.day = day + 1;
        event.seconds_of_day = static_cast<int>((when - std::floor(when)) * 86400.0);
        event.latitude = latitude;
        event.longitude = longitude;
        event.magnitude = magnitude;
        events.push_back(event);
    }
    return events;
}

auto order(const TestEvent& e) { return std::make_tuple(e.year, e.month, e.day, e.seconds_of_day); }

class KnownCatalogues : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::mt19937_64 engine(20260722);
        std::vector<TestEvent> all;
        for (const Population* p : {&kNorthernB1, &kSouthernB08, &kLaterB16North, &kLaterB16South}) {
            const std::vector<TestEvent> drawn = draw(*p, engine);
            if (p == &kNorthernB1) northern_events_ = drawn.size();
            if (p == &kSouthernB08) southern_events_ = drawn.size();
            all.insert(all.end(), drawn.begin(), drawn.end());
        }
        std::stable_sort(all.begin(), all.end(),
                         [](const TestEvent& x, const TestEvent& y) { return order(x) < order(y); });
        scratch_ = new ScratchDir;
        catalogue_ = scratch_->write("known.txt", catalogue_text(all, true));
    }
    static void TearDownTestSuite() { delete scratch_; }

    // --json for the events of one region before 2015, with further options.
    static std::string stats_json(const Population& p, std::vector<std::string> options) {
        char region[64];
        std::snprintf(region, sizeof region, "%g,%g,%g,%g", p.south, p.north, kWest, kEast);
        options.insert(options.end(), {"--json", "--to", "2015-01-01", "--region", region, catalogue_});
        const StatsRun run = run_stats(*scratch_, options);
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out;
    }

    // Mc and b found back: maxc is Mc itself (below it detection falls
    // fivefold each bin); best, by goodness of fit, is Mc or at most two bins above it;
    // and b within 0.03 (about four standard errors) of the law's.
    static void expect_found_again(const Population& p, size_t events) {
        const std::string best = stats_json(p, {});
        EXPECT_EQ(json_value(best, "events"), std::to_string(events));
        const std::string method = json_value(best, "mc_method");
        EXPECT_TRUE(method == "gof95" || method == "gof90") << best;
        const double mc = json_number(best, "mc");
        EXPECT_GE(mc, p.mc - 1e-9) << best;
        EXPECT_LE(mc, p.mc + 0.2 + 1e-9) << best;
        EXPECT_NEAR(json_number(best, "b"), p.b, std::max(0.03, 3 * json_number(best, "b_error"))) << best;

        const std::string maxc = stats_json(p, {"--mc", "maxc"});
        EXPECT_DOUBLE_EQ(json_number(maxc, "mc"), p.mc) << maxc;

        char mc_text[16];
        std::snprintf(mc_text, sizeof mc_text, "%.1f", p.mc);
        const std::string given = stats_json(p, {"--mc", mc_text});
        EXPECT_NEAR(json_number(given, "b"), p.b, 0.03) << given;
        EXPECT_LT(json_number(given, "b_error"), 0.015) << given;
    }

    static ScratchDir* scratch_;
    static std::string catalogue_;
    static size_t northern_events_;
    static size_t southern_events_;
};

ScratchDir* KnownCatalogues::scratch_ = nullptr;
std::string KnownCatalogues::catalogue_;
size_t KnownCatalogues::northern_events_ = 0;
size_t KnownCatalogues::southern_events_ = 0;

TEST_F(KnownCatalogues, BOf1CompleteFrom2) { expect_found_again(kNorthernB1, northern_events_); }

TEST_F(KnownCatalogues, BOf08CompleteFrom15) { expect_found_again(kSouthernB08, southern_events_); }

}  // namespace
