// Great-circle geometry with unit vectors: along- and across-track
// distances come from projections onto the circle's plane and its normal,
// which stay exact across 180 degrees and near the poles where the
// bearing formulas lose precision.
#include "record/section_profile.h"

#include <algorithm>
#include <cmath>

#include "tool/text_basics.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180.0;
constexpr double kEdgeToleranceKm = 1e-6;  // a millimetre: floating error on a swath's edge

void unit_vector(double latitude, double longitude, double out[3]) {
    const double phi = latitude * kRadiansPerDegree;
    const double lambda = longitude * kRadiansPerDegree;
    out[0] = std::cos(phi) * std::cos(lambda);
    out[1] = std::cos(phi) * std::sin(lambda);
    out[2] = std::sin(phi);
}

double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

double norm(const double a[3]) { return std::sqrt(dot(a, a)); }

}  // namespace

std::optional<SectionProfile> SectionProfile::between(const GeoPoint& a, const GeoPoint& b, std::string* error) {
    SectionProfile profile;
    double b_vector[3];
    unit_vector(a.latitude, a.longitude, profile.a_);
    unit_vector(b.latitude, b.longitude, b_vector);
    double normal[3];
    cross(profile.a_, b_vector, normal);
    const double sine = norm(normal);
    const double cosine = dot(profile.a_, b_vector);
    // Below about 10 m apart, or as close to antipodal, the plane of the
    // great circle is not determined.
    if (sine < 1e-6) {
        *error = cosine > 0 ? "A and A' are the same point; a section needs two points apart"
                            : "A and A' are antipodal; no one great circle joins them";
        return std::nullopt;
    }
    for (int i = 0; i < 3; ++i) profile.normal_[i] = normal[i] / sine;
    cross(profile.normal_, profile.a_, profile.tangent_);
    profile.length_rad_ = std::atan2(sine, cosine);
    return profile;
}

ProfilePlace SectionProfile::place(double latitude, double longitude) const {
    double p[3];
    unit_vector(latitude, longitude, p);
    const double across = std::asin(std::clamp(dot(p, normal_), -1.0, 1.0));
    const double along = std::atan2(dot(p, tangent_), dot(p, a_));
    return ProfilePlace{along * kEarthRadiusKm, across * kEarthRadiusKm};
}

bool SectionProfile::in_swath(const ProfilePlace& place, double half_width_km) const {
    return std::fabs(place.across_km) <= half_width_km + kEdgeToleranceKm && place.along_km >= -kEdgeToleranceKm &&
           place.along_km <= length_km() + kEdgeToleranceKm;
}

GeoPoint SectionProfile::point_at(double along_km, double across_km) const {
    const double s = along_km / kEarthRadiusKm;
    const double c = across_km / kEarthRadiusKm;
    double q[3];
    for (int i = 0; i < 3; ++i)
        q[i] = std::cos(c) * (std::cos(s) * a_[i] + std::sin(s) * tangent_[i]) + std::sin(c) * normal_[i];
    return GeoPoint{std::asin(std::clamp(q[2], -1.0, 1.0)) / kRadiansPerDegree,
                    std::atan2(q[1], q[0]) / kRadiansPerDegree};
}

std::vector<GeoPoint> SectionProfile::trace(double across_km, double step_km) const {
    const int pieces = std::max(1, static_cast<int>(std::ceil(length_km() / std::max(step_km, 1e-3))));
    std::vector<GeoPoint> points;
    points.reserve(static_cast<size_t>(pieces) + 1);
    for (int i = 0; i <= pieces; ++i) points.push_back(point_at(length_km() * i / pieces, across_km));
    return points;
}

std::optional<std::pair<GeoPoint, GeoPoint>> parse_section_points(const std::string& text, std::string* error) {
    const std::optional<std::vector<double>> numbers = parse_number_list(text, 4);
    if (!numbers) {
        *error = "expected four numbers LAT1,LON1,LAT2,LON2 in degrees, got \"" + text + "\"";
        return std::nullopt;
    }
    const std::vector<double>& values = *numbers;
    for (int i : {0, 2}) {
        if (std::fabs(values[i]) > 90.0) {
            *error = "latitudes must lie within -90 to 90";
            return std::nullopt;
        }
        if (std::fabs(values[i + 1]) > 360.0) {
            *error = "longitudes must lie within -360 to 360";
            return std::nullopt;
        }
    }
    return std::make_pair(GeoPoint{values[0], values[1]}, GeoPoint{values[2], values[3]});
}

double default_depth_max(const std::vector<double>& depths_km) {
    constexpr double kStepKm = 50.0;
    double deepest = 0.0;
    for (double depth : depths_km)
        if (std::isfinite(depth)) deepest = std::max(deepest, depth);
    return std::max(kStepKm, std::ceil(deepest / kStepKm) * kStepKm);
}
