// Placing entries in the section and choosing its ticks.
#include "record/section_panel.h"

#include <algorithm>
#include <cmath>

SectionPlaces place_in_section(const SectionProfile& profile, const std::vector<QuakeRecord>& catalogue,
                               const std::vector<float>& depths, double width_km,
                               const std::optional<double>& depth_max_km) {
    SectionPlaces places;
    places.length_km = profile.length_km();
    places.along_km.assign(catalogue.size(), std::nanf(""));
    std::vector<double> swath_depths;
    std::vector<size_t> in_swath;
    for (size_t i = 0; i < catalogue.size(); ++i) {
        const ProfilePlace place = profile.place(catalogue[i].latitude, catalogue[i].longitude);
        if (!profile.in_swath(place, width_km)) continue;
        ++places.in_swath;
        const float depth = i < depths.size() ? depths[i] : std::nanf("");
        if (std::isnan(depth)) {
            ++places.without_depth;
            continue;
        }
        swath_depths.push_back(depth);
        in_swath.push_back(i);
        places.along_km[i] = static_cast<float>(std::clamp(place.along_km, 0.0, places.length_km));
    }
    places.depth_max_km = depth_max_km ? *depth_max_km : default_depth_max(swath_depths);
    for (size_t i : in_swath) {
        if (depths[i] > places.depth_max_km) {
            places.along_km[i] = std::nanf("");
            ++places.too_deep;
        }
    }
    return places;
}

std::vector<double> axis_ticks(double end, int most) {
    std::vector<double> ticks;
    if (!(end > 0.0) || most < 1) return {0.0};
    const double power = std::pow(10.0, std::floor(std::log10(end / most)));
    double step = 10.0 * power;
    for (double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (end / (factor * power) <= most + 1e-9) {
            step = factor * power;
            break;
        }
    }
    for (int k = 0; k * step <= end * (1.0 + 1e-9); ++k) ticks.push_back(k * step);
    return ticks;
}
