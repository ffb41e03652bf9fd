// The depth section's geometry: distances along and across the great
// circle, the swath's edges, a profile across 180 degrees, the default depth
// range and the profile's text.
#include <gtest/gtest.h>

#include <cmath>

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
