// decluster, series and map through the real program, on seeded catalogues
// whose structure is known: sequences among background events, a b-value
// that changes halfway, two zones of different b.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <vector>

#include "stats/decluster.h"
#include "tests/stats/stats_test_support.h"

namespace {

constexpr double kDay = 86400.0;
// 2010-01-01 00:00 UTC.
constexpr double kEpoch2010 = 1262304000.0;

struct Quake {
    double time;  // seconds since 1970, to the hundredth
    double latitude, longitude, magnitude;
};

// A catalogue line with a depth column, times to the hundredth.
std::string line_of(const Quake& q, int depth) {
    const auto hundredths = static_cast<int64_t>(std::llround(q.time * 100));
    const int64_t days = hundredths / 8640000;
    const int64_t rest = hundredths % 8640000;
    // Civil date from days since 1970 (Howard Hinnant's algorithm).
    const int64_t z = days + 719468, era = z / 146097, doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9, y = yoe + era * 400 + (m <= 2);
    char text[128];
    std::snprintf(text, sizeof text, "%04lld,%02lld,%02lld,%02lld%02lld%02lld.%02lld,%.4f,%.4f,%.1f,%d.%d\n",
                  static_cast<long long>(y), static_cast<long long>(m), static_cast<long long>(d),
                  static_cast<long long>(rest / 360000), static_cast<long long>(rest / 6000 % 60),
                  static_cast<long long>(rest / 100 % 60), static_cast<long long>(rest % 100), q.latitude, q.longitude,
                  q.magnitude, depth % 20, depth % 7);
    return text;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

class Decluster : public ::testing::Test {
protected:
    // Writes the quakes in the given order with depths, runs decluster, and
    // returns the roles by data line.
    std::vector<std::string> roles(const std::vector<Quake>& quakes, std::vector<std::string> options = {}) {
        std::string text = "year,month,day,time,latitude,longitude,magnitude,depth\n";
        for (size_t i = 0; i < quakes.size(); ++i) text += line_of(quakes[i], static_cast<int>(i));
        input_lines_ = lines(text);
        const std::string catalogue = scratch_.write("in.txt", text);
        options.insert(options.begin(), "decluster");
        options.insert(options.end(), {"--clusters", scratch_.path("clusters.csv"), catalogue, scratch_.path("out.txt")});
        run_ = run_stats(scratch_, options);
        EXPECT_EQ(run_.status, 0) << run_.err;
        output_lines_ = lines(read_file(scratch_.path("out.txt")));
        std::vector<std::string> result;
        const std::vector<std::string> csv = lines(read_file(scratch_.path("clusters.csv")));
        EXPECT_EQ(csv.size(), quakes.size() + 1);
        for (size_t i = 1; i < csv.size(); ++i) {
            EXPECT_EQ(csv[i].substr(0, csv[i].find(',')), std::to_string(i));
            result.push_back(csv[i].substr(csv[i].find(',') + 1));
        }
        return result;
    }
    ScratchDir scratch_;
    StatsRun run_;
    std::vector<std::string> input_lines_, output_lines_;
};

TEST_F(Decluster, SequencesAmongBackgroundEvents) {
    // Background events 300 km and 30 days apart (beyond any M3 window),
    // and three sequences of a mainshock with aftershocks inside its
    // windows, written out of time order.
    std::mt19937_64 engine(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Quake> quakes;
    std::vector<bool> is_aftershock;
    for (int i = 0; i < 40; ++i) {
        quakes.push_back(Quake{kEpoch2010 + i * 30 * kDay, 30.0 + (i % 5) * 3.0, -120.0 + (i / 5) * 3.0,
                               std::round((2.0 + unit(engine)) * 10) / 10});
        is_aftershock.push_back(false);
    }
    const double mains[3][3] = {{5.5, 31.5, -118.5}, {6.8, 36.5, -112.5}, {4.5, 40.5, -100.5}};
    for (int s = 0; s < 3; ++s) {
        const double t0 = kEpoch2010 + (100 + 200 * s) * kDay + 3600;
        quakes.push_back(Quake{t0, mains[s][1], mains[s][2], mains[s][0]});
        is_aftershock.push_back(false);
        const double reach = window_km(mains[s][0]) / 111.2 * 0.6;  // degrees, well inside
        const double span = window_days(mains[s][0]) * kDay * 0.8;
        for (int a = 0; a < 30; ++a) {
            quakes.push_back(Quake{std::round((t0 + unit(engine) * span) * 100) / 100,
                                   mains[s][1] + (unit(engine) - 0.5) * reach, mains[s][2] + (unit(engine) - 0.5) * reach,
                                   std::round((1.0 + unit(engine) * 2.0) * 10) / 10});
            is_aftershock.push_back(true);
        }
    }
    std::shuffle(quakes.begin() + 1, quakes.end(), engine);  // the same engine, so the flags follow below
    std::vector<std::string> got = roles(quakes);
    size_t kept = 0, aftershocks = 0;
    for (const std::string& role : got) {
        if (role.find("mainshock") != std::string::npos) ++kept;
        if (role.find("aftershock") != std::string::npos) ++aftershocks;
    }
    EXPECT_EQ(kept, 43u);
    EXPECT_EQ(aftershocks, 90u);
    EXPECT_NE(run_.out.find("events: 133 read, 43 kept, 90 removed"), std::string::npos) << run_.out;
    EXPECT_NE(run_.out.find("largest cluster: 31 events"), std::string::npos) << run_.out;

    // The kept lines are the input's, byte for byte (depths included), in
    // time order.
    ASSERT_EQ(output_lines_.size(), 44u);
    EXPECT_EQ(output_lines_[0], input_lines_[0]);
    std::vector<std::string> expected;
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i].find("mainshock") != std::string::npos) expected.push_back(input_lines_[i + 1]);
    std::vector<std::string> written(output_lines_.begin() + 1, output_lines_.end());
    EXPECT_TRUE(std::is_permutation(written.begin(), written.end(), expected.begin()));
    // YYYY,MM,DD,HHMMSS.hh sort as text in time order.
    EXPECT_TRUE(std::is_sorted(written.begin(), written.end(),
                               [](const std::string& a, const std::string& b) { return a.substr(0, 20) < b.substr(0, 20); }));
}

TEST_F(Decluster, TiesGoToTheEarlierThenToTheFirstInTheFile) {
    const double t = kEpoch2010;
    // Two M4.0 a day apart, the later one first in the file; then two M3.0
    // at one instant elsewhere.
    const std::vector<std::string> got = roles({{t + kDay, 35.0, -117.0, 4.0},
                                                {t, 35.01, -117.0, 4.0},
                                                {t + 100 * kDay, 40.0, -110.0, 3.0},
                                                {t + 100 * kDay, 40.01, -110.0, 3.0}});
    EXPECT_EQ(got, (std::vector<std::string>{"1,aftershock", "1,mainshock", "2,mainshock", "2,aftershock"}));
}

TEST_F(Decluster, AnEventOnTheWindowsEdge) {
    // M 5.0: T = 10^(0.5409 * 5 - 0.547) days. One event a hundredth of a
    // second inside the end of the window, one a hundredth past it; one
    // 1 km inside L, one 1 km beyond (due north).
    const double t = kEpoch2010;
    const double span = window_days(5.0) * kDay;
    const double inside = std::floor((t + span) * 100) / 100;
    const double degrees_per_km = 180.0 / (3.14159265358979323846 * 6371.0);
    const std::vector<std::string> got = roles({{t, 35.0, -117.0, 5.0},
                                                {inside, 35.0, -117.0, 2.0},
                                                {inside + 0.02, 35.0, -117.0, 2.0},
                                                {t + kDay, 35.0 + (window_km(5.0) - 1) * degrees_per_km, -117.0, 2.0},
                                                {t + kDay, 35.0 + (window_km(5.0) + 1) * degrees_per_km, -117.0, 2.0}});
    EXPECT_EQ(got[1], "1,aftershock");
    EXPECT_EQ(got[2].substr(got[2].find(',') + 1), "mainshock");
    EXPECT_EQ(got[3], "1,aftershock");
    EXPECT_EQ(got[4].substr(got[4].find(',') + 1), "mainshock");
}

TEST_F(Decluster, ForeshocksWithinTheirShareOfTheWindow) {
    // Events 0.7 T and 0.3 T before an M 5.0.
    const double t = kEpoch2010 + 1000 * kDay;
    const double span = window_days(5.0) * kDay;
    const std::vector<Quake> quakes{{std::round((t - 0.7 * span) * 100) / 100, 35.0, -117.0, 2.0},
                                    {std::round((t - 0.3 * span) * 100) / 100, 35.0, -117.0, 2.0},
                                    {t, 35.0, -117.0, 5.0}};
    EXPECT_EQ(roles(quakes), (std::vector<std::string>{"2,mainshock", "3,mainshock", "1,mainshock"}));
    EXPECT_EQ(roles(quakes, {"--foreshocks", "0.5"}),
              (std::vector<std::string>{"2,mainshock", "1,foreshock", "1,mainshock"}));
    ASSERT_EQ(output_lines_.size(), 3u);
    EXPECT_EQ(output_lines_[1], input_lines_[1]);
    EXPECT_EQ(output_lines_[2], input_lines_[3]);
    EXPECT_EQ(roles(quakes, {"--foreshocks", "1"}),
              (std::vector<std::string>{"1,foreshock", "1,foreshock", "1,mainshock"}));
}

// Magnitudes of the Gutenberg-Richter law with `b`, complete from 1.0, in
// bins of 0.1.
double draw_magnitude(std::mt19937_64& engine, double b) {
    const double u = static_cast<double>(engine() >> 11) * 0x1.0p-53;
    return std::round((0.95 - std::log(1.0 - u) / (b * std::log(10.0))) * 10.0) / 10.0;
}

TEST(Series, BChangesHalfway) {
    // 4,000 events of b = 1.0, then 4,000 of b = 1.5, one an hour.
    std::mt19937_64 engine(11);
    std::vector<TestEvent> events;
    for (int i = 0; i < 8000; ++i) {
        const int day = i / 24;
        events.push_back(TestEvent{2012 + day / 365, 1 + day % 365 / 31, 1 + day % 365 % 31 % 28, 3600 * (i % 24),
                                   35.0, -117.0, draw_magnitude(engine, i < 4000 ? 1.0 : 1.5)});
    }
    ScratchDir scratch;
    const std::string catalogue = scratch.write("halves.txt", catalogue_text(events, true));
    const std::string figure = scratch.path("series.png");
    const StatsRun run =
        run_stats(scratch, {"series", "--json", "--events", "1000", "--mc", "1.0", catalogue, figure});
    ASSERT_EQ(run.status, 0) << run.err;
    // Windows end at 7999, 7749, ... down to 999: 29 of them.
    std::vector<double> b;
    for (size_t at = run.out.find("\"b\": "); at != std::string::npos; at = run.out.find("\"b\": ", at + 1))
        b.push_back(std::strtod(run.out.c_str() + at + 5, nullptr));
    ASSERT_EQ(b.size(), 29u) << run.out;
    EXPECT_EQ(json_value(run.out, "events"), "1000");
    for (size_t i = 0; i < 12; ++i) EXPECT_NEAR(b[i], 1.0, 0.12) << i;  // before the change
    for (size_t i = 17; i < 29; ++i) EXPECT_NEAR(b[i], 1.5, 0.18) << i;  // after it
    EXPECT_EQ(read_file(figure).substr(1, 3), "PNG");

    // With more events above Mc asked for than a window holds, b is null.
    const StatsRun few = run_stats(scratch, {"series", "--json", "--events", "1000", "--min-events", "1001", catalogue});
    ASSERT_EQ(few.status, 0) << few.err;
    EXPECT_EQ(json_value(few.out, "b"), "null");
    EXPECT_EQ(json_value(few.out, "b_error"), "null");
}

TEST(Map, TwoZonesOfDifferentB) {
    // West of -118: b = 0.8; east of it: b = 1.4; 20,000 events each.
    std::mt19937_64 engine(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<TestEvent> events;
    for (int i = 0; i < 40000; ++i) {
        const bool west = i % 2 == 0;
        events.push_back(TestEvent{2015, 1 + i % 12, 1 + i % 28, i % 86400, 34.0 + 2.0 * unit(engine),
                                   (west ? -120.0 : -118.0) + 2.0 * unit(engine), draw_magnitude(engine, west ? 0.8 : 1.4)});
    }
    // Two corners that fix the bounds: 34 to 36 and -120 to -116.
    events.push_back(TestEvent{2015, 6, 1, 0, 34.0, -120.0, 1.0});
    events.push_back(TestEvent{2015, 6, 2, 0, 36.0, -116.0, 1.0});
    ScratchDir scratch;
    const std::string catalogue = scratch.write("zones.txt", catalogue_text(events, false));
    const std::string csv = scratch.path("map.csv");
    const StatsRun run = run_stats(scratch, {"map", "--grid", "0.5", "--nearest", "1000", "--mc", "1.0", catalogue, csv});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> rows = lines(read_file(csv));
    ASSERT_EQ(rows.size(), 1u + 5 * 9);  // latitudes 34 to 36, longitudes -120 to -116
    EXPECT_EQ(rows[0], "latitude,longitude,events,radius_km,mc,b,b_error");
    int checked = 0;
    for (size_t i = 1; i < rows.size(); ++i) {
        double lat = 0, lon = 0, radius = 0, mc = 0, b = 0, error = 0;
        int taken = 0;
        ASSERT_EQ(std::sscanf(rows[i].c_str(), "%lf,%lf,%d,%lf,%lf,%lf,%lf", &lat, &lon, &taken, &radius, &mc, &b, &error),
                  7)
            << rows[i];
        EXPECT_EQ(taken, 1000);
        if (lat != 35.0) continue;
        if (lon <= -119.0) {
            EXPECT_NEAR(b, 0.8, 0.1) << rows[i];
            ++checked;
        } else if (lon >= -117.0) {
            EXPECT_NEAR(b, 1.4, 0.15) << rows[i];
            ++checked;
        }
    }
    EXPECT_EQ(checked, 6);

    // A radius no node's thousandth event lies within leaves every node
    // empty, with its fields blank.
    const StatsRun empty =
        run_stats(scratch, {"map", "--grid", "0.5", "--nearest", "1000", "--max-radius", "5", catalogue, csv});
    ASSERT_EQ(empty.status, 0) << empty.err;
    const std::vector<std::string> blank = lines(read_file(csv));
    ASSERT_EQ(blank.size(), rows.size());
    EXPECT_EQ(blank[1].substr(blank[1].size() - 3), ",,,") << blank[1];

    const std::string png = scratch.path("map.png");
    ASSERT_EQ(run_stats(scratch, {"map", "--grid", "0.5", "--outline", SISMAP_SOURCE_DIR "/samples/california.txt",
                                  catalogue, png})
                  .status,
              0);
    EXPECT_EQ(read_file(png).substr(1, 3), "PNG");
}

TEST(Commands, BadCommandLinesAndInputs) {
    ScratchDir scratch;
    const std::string catalogue = scratch.write("c.txt", "year,month,day,time,latitude,longitude,magnitude\n"
                                                         "2019,02,30,000000.00,35,-117,2.0\n");
    EXPECT_EQ(run_stats(scratch, {"decluster", "--foreshocks", "1.5", catalogue, scratch.path("o.txt")}).status, 2);
    EXPECT_EQ(run_stats(scratch, {"map", catalogue, scratch.path("o.csv")}).status, 2);  // no --grid
    EXPECT_EQ(run_stats(scratch, {"map", "--grid", "1", catalogue, scratch.path("o.txt")}).status, 2);
    EXPECT_EQ(run_stats(scratch, {"decluster", catalogue, catalogue}).status, 2);
    // 30 February is no real time: refused, nothing written.
    const StatsRun run = run_stats(scratch, {"decluster", catalogue, scratch.path("o.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("line 2: the date and time name no real UTC time"), std::string::npos) << run.err;
    EXPECT_EQ(read_file(scratch.path("o.txt")), "");
    EXPECT_EQ(run_stats(scratch, {"series", "--events", "5", catalogue}).status, 1);
}

}  // namespace
