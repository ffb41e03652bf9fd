// The geometry of a depth section: the great circle from A to A' on a
// sphere of 6371 km, where each epicentre lies along it and across it, which
// events fall in the swath, and the points that draw the profile and the
// swath's edges on the map. Plain C++, no drawing.
#pragma once

#include <optional>
#include <string>
#include <vector>

inline constexpr double kEarthRadiusKm = 6371.0;

struct GeoPoint {
    double latitude = 0.0;   // degrees north
    double longitude = 0.0;  // degrees east, any range
};

// Where an epicentre lies relative to the profile: kilometres along the
// great circle from A (negative behind A), and across it (positive to the
// left, looking from A towards A').
struct ProfilePlace {
    double along_km = 0.0;
    double across_km = 0.0;
};

class SectionProfile {
public:
    // The profile from `a` to `b`, or empty with the reason when the two
    // points coincide or are antipodal (no one great circle joins them).
    static std::optional<SectionProfile> between(const GeoPoint& a, const GeoPoint& b, std::string* error);

    double length_km() const { return length_rad_ * kEarthRadiusKm; }

    ProfilePlace place(double latitude, double longitude) const;

    // In the swath: at most `half_width_km` across (edges included, to a
    // millimetre) and between A and A' along.
    bool in_swath(const ProfilePlace& place, double half_width_km) const;

    // The point `along_km` from A along the great circle and `across_km`
    // to its left; longitudes in -180..180.
    GeoPoint point_at(double along_km, double across_km) const;

    // Points every `step_km` or closer from A to A' (both included), at
    // `across_km`: a line that follows the great circle when drawn on the
    // map's straight longitude-latitude axes.
    std::vector<GeoPoint> trace(double across_km, double step_km) const;

private:
    double a_[3]{};        // unit vector of A
    double tangent_[3]{};  // unit vector along the great circle at A, towards A'
    double normal_[3]{};   // unit normal of the great circle's plane (left of the path)
    double length_rad_ = 0.0;
};

// "LAT1,LON1,LAT2,LON2" in degrees (latitudes within ±90, longitudes within
// ±360); empty with the reason otherwise.
std::optional<std::pair<GeoPoint, GeoPoint>> parse_section_points(const std::string& text, std::string* error);

// The section's default depth range: the deepest of `depths_km` rounded up
// to a multiple of 50 km, at least 50.
double default_depth_max(const std::vector<double>& depths_km);
