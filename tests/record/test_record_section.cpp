// The depth section's geometry: distances along and across the great
// circle, the swath's edges, a profile across 180 degrees, the default depth
// range and the profile's text.
#include <gtest/gtest.h>

#include <cmath>

#include "record/section_panel.h"
#include "record/section_profile.h"

namespace {

constexpr double kKmPerDegree = kEarthRadiusKm * 3.14159265358979323846 / 180.0;

SectionProfile profile(double lat1, double lon1, double lat2, double lon2) {
    std::string error;
    const std::optional<SectionProfile> made = SectionProfile::between({lat1, lon1}, {lat2, lon2}, &error);
    EXPECT_TRUE(made.has_value()) << error;
    return *made;
}

TEST(SectionProfile, EquatorDistancesAreDegreesTimesTheRadius) {
    const SectionProfile equator = profile(0, 0, 0, 10);
    EXPECT_NEAR(equator.length_km(), 10 * kKmPerDegree, 1e-9);
    const ProfilePlace middle = equator.place(0, 5);
    EXPECT_NEAR(middle.along_km, 5 * kKmPerDegree, 1e-9);
    EXPECT_NEAR(middle.across_km, 0.0, 1e-9);
    // One degree north of the line is one degree of arc to its left; south
    // is to the right.
    EXPECT_NEAR(equator.place(1, 5).across_km, kKmPerDegree, 1e-9);
    EXPECT_NEAR(equator.place(-1, 5).across_km, -kKmPerDegree, 1e-9);
}

TEST(SectionProfile, ObliqueProfileAgreesWithTheHaversineDistance) {
    // Across Japan's slab, from the trench towards the Sea of Japan.
    const SectionProfile slab = profile(38.0, 144.0, 40.0, 136.0);
    const double phi1 = 38.0 * M_PI / 180, phi2 = 40.0 * M_PI / 180, dlambda = -8.0 * M_PI / 180;
    const double h = std::pow(std::sin((phi2 - phi1) / 2), 2) +
                     std::cos(phi1) * std::cos(phi2) * std::pow(std::sin(dlambda / 2), 2);
    EXPECT_NEAR(slab.length_km(), 2 * kEarthRadiusKm * std::asin(std::sqrt(h)), 1e-6);
    // Points laid along and across come back at the same distances.
    for (double along : {0.0, 100.0, 350.5, slab.length_km()}) {
        for (double across : {-50.0, 0.0, 20.0}) {
            const GeoPoint p = slab.point_at(along, across);
            const ProfilePlace back = slab.place(p.latitude, p.longitude);
            EXPECT_NEAR(back.along_km, along, 1e-6);
            EXPECT_NEAR(back.across_km, across, 1e-6);
        }
    }
}

TEST(SectionProfile, SwathHoldsItsEdgesAndNothingBeyond) {
    const SectionProfile p = profile(10, 20, 12, 25);
    const double width = 50.0;
    EXPECT_TRUE(p.in_swath(p.place(p.point_at(200, width).latitude, p.point_at(200, width).longitude), width));
    EXPECT_TRUE(p.in_swath(p.place(p.point_at(200, -width).latitude, p.point_at(200, -width).longitude), width));
    const GeoPoint outside = p.point_at(200, width + 0.01);
    EXPECT_FALSE(p.in_swath(p.place(outside.latitude, outside.longitude), width));
    // A and A' themselves are in; just behind A or past A' is not.
    EXPECT_TRUE(p.in_swath(p.place(10, 20), width));
    EXPECT_TRUE(p.in_swath(p.place(12, 25), width));
    const GeoPoint behind = p.point_at(-0.01, 0);
    EXPECT_FALSE(p.in_swath(p.place(behind.latitude, behind.longitude), width));
    const GeoPoint beyond = p.point_at(p.length_km() + 0.01, 0);
    EXPECT_FALSE(p.in_swath(p.place(beyond.latitude, beyond.longitude), width));
}

TEST(SectionProfile, AcrossTheAntimeridianInEitherLongitudeForm) {
    // Tonga: from 175 E to 175 W, written in -180..180 or in 0..360.
    for (const SectionProfile& p : {profile(-20, 175, -20, -175), profile(-20, 175, -20, 185)}) {
        EXPECT_NEAR(p.length_km(), profile(-20, 0, -20, 10).length_km(), 1e-6);
        const ProfilePlace at_180 = p.place(-20, 180);
        const ProfilePlace at_minus_180 = p.place(-20, -180);
        EXPECT_NEAR(at_180.along_km, p.length_km() / 2, 1.0);  // the small circle bows off the great one
        EXPECT_NEAR(at_180.along_km, at_minus_180.along_km, 1e-9);
        EXPECT_TRUE(p.in_swath(at_180, 50));
        EXPECT_FALSE(p.in_swath(p.place(-20, 170), 50));  // behind A, not the far side of the world
        const std::vector<GeoPoint> line = p.trace(0, 10);
        ASSERT_GE(line.size(), 100u);
        EXPECT_NEAR(std::fabs(line[line.size() / 2].longitude), 180.0, 0.1);
    }
}

TEST(SectionProfile, RefusesPointsThatMakeNoProfile) {
    std::string error;
    EXPECT_FALSE(SectionProfile::between({10, 10}, {10, 10}, &error));
    EXPECT_NE(error.find("same point"), std::string::npos);
    EXPECT_FALSE(SectionProfile::between({0, 0}, {0, 180}, &error));
    EXPECT_NE(error.find("antipodal"), std::string::npos);

    EXPECT_TRUE(parse_section_points("38,144,40,136", &error));
    EXPECT_TRUE(parse_section_points("-20.5,175,-21,-175.25", &error));
    for (const char* bad : {"38,144,40", "38,144,40,136,1", "91,0,0,1", "0,400,0,1", "a,b,c,d", ""}) {
        EXPECT_FALSE(parse_section_points(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(SectionProfile, DefaultDepthRangeRoundsUpToFiftyKilometres) {
    EXPECT_EQ(default_depth_max({}), 50.0);
    EXPECT_EQ(default_depth_max({3.2, 12.0}), 50.0);
    EXPECT_EQ(default_depth_max({50.0}), 50.0);
    EXPECT_EQ(default_depth_max({50.01, 7.0}), 100.0);
    EXPECT_EQ(default_depth_max({612.4, NAN}), 650.0);
}

}  // namespace

// --section switches map mode on and is read with --width and --depth-max;
// those two need it, bad points and distances are refused, and a page
// refuses it as it refuses the other map options. --depth in any mode.

// Entries in the swath are placed along it when they have a depth within
// the range; the others are counted, and the default range comes from the
// swath's deepest event only.
TEST(SectionPanel, PlacesCountsAndTicks) {
    std::string error;
    const std::optional<SectionProfile> profile = SectionProfile::between({0, 0}, {0, 10}, &error);
    ASSERT_TRUE(profile) << error;
    std::vector<QuakeRecord> catalogue(5);
    const float places[5][2] = {{0.0f, 5.0f}, {0.2f, 2.0f}, {0.0f, 3.0f}, {1.0f, 4.0f}, {0.0f, 11.0f}};
    for (size_t i = 0; i < 5; ++i) {
        catalogue[i].latitude = places[i][0];
        catalogue[i].longitude = places[i][1];
    }
    const std::vector<float> depths = {120.0f, 260.0f, std::nanf(""), 900.0f, 900.0f};
    const SectionPlaces by_default = place_in_section(*profile, catalogue, depths, 50.0, std::nullopt);
    EXPECT_EQ(by_default.in_swath, 3u);  // 1 degree across and past A' are out
    EXPECT_EQ(by_default.without_depth, 1u);
    EXPECT_EQ(by_default.depth_max_km, 300.0);
    EXPECT_NEAR(by_default.along_km[0], kEarthRadiusKm * 5.0 * M_PI / 180.0, 1e-3);
    EXPECT_TRUE(std::isnan(by_default.along_km[2]));
    EXPECT_TRUE(std::isnan(by_default.along_km[3]));
    const SectionPlaces shallow = place_in_section(*profile, catalogue, depths, 50.0, 200.0);
    EXPECT_EQ(shallow.too_deep, 1u);
    EXPECT_TRUE(std::isnan(shallow.along_km[1]));
    EXPECT_FALSE(std::isnan(shallow.along_km[0]));

    EXPECT_EQ(axis_ticks(500.0, 6), (std::vector<double>{0, 100, 200, 300, 400, 500}));
    EXPECT_EQ(axis_ticks(726.0, 10), (std::vector<double>{0, 100, 200, 300, 400, 500, 600, 700}));
    EXPECT_EQ(axis_ticks(50.0, 2), (std::vector<double>{0, 25, 50}));
    EXPECT_EQ(axis_ticks(1112.0, 20), (std::vector<double>{0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000,
                                                           1100}));
}
