// Declustering with the events in time order, so that a mainshock's time
// window is a range found by binary search, and a skip list over that order,
// so that events already in a cluster are passed over once.
#include "stats/decluster.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr double kEarthRadiusKm = 6371.0;
constexpr double kSecondsPerDay = 86400.0;
constexpr double kRadians = 3.14159265358979323846 / 180.0;

// The first position at or after `k` in time order whose event is free.
uint32_t next_free(std::vector<uint32_t>& skip, uint32_t k) {
    uint32_t root = k;
    while (skip[root] != root) root = skip[root];
    while (skip[k] != root) {  // shorten the path for later searches
        const uint32_t up = skip[k];
        skip[k] = root;
        k = up;
    }
    return root;
}

}  // namespace

double window_km(double magnitude) { return std::pow(10.0, 0.1238 * magnitude + 0.983); }

double window_days(double magnitude) {
    return magnitude >= 6.5 ? std::pow(10.0, 0.032 * magnitude + 2.7389) : std::pow(10.0, 0.5409 * magnitude - 0.547);
}

double epicentral_km(double lat1, double lon1, double lat2, double lon2) {
    const double p1 = lat1 * kRadians, p2 = lat2 * kRadians;
    const double dp = p2 - p1, dl = (lon2 - lon1) * kRadians;
    const double h = std::sin(dp / 2) * std::sin(dp / 2) + std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
    return 2.0 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(h)));
}

Declustering decluster(const std::vector<DeclusterEvent>& events, double foreshocks) {
    const auto n = static_cast<uint32_t>(events.size());
    Declustering result;
    result.cluster.assign(n, 0);
    result.role.assign(n, ClusterRole::mainshock);

    std::vector<uint32_t> by_size(n), by_time(n);
    std::iota(by_size.begin(), by_size.end(), 0u);
    std::iota(by_time.begin(), by_time.end(), 0u);
    std::stable_sort(by_size.begin(), by_size.end(), [&](uint32_t a, uint32_t b) {
        if (events[a].magnitude != events[b].magnitude) return events[a].magnitude > events[b].magnitude;
        return events[a].time < events[b].time;
    });
    std::stable_sort(by_time.begin(), by_time.end(),
                     [&](uint32_t a, uint32_t b) { return events[a].time < events[b].time; });
    std::vector<double> times(n);
    for (uint32_t k = 0; k < n; ++k) times[k] = events[by_time[k]].time;
    // skip[k] == k while the event at time position k is free; position n
    // is a sentinel that is always free.
    std::vector<uint32_t> skip(n + 1);
    std::iota(skip.begin(), skip.end(), 0u);
    std::vector<uint32_t> position(n);
    for (uint32_t k = 0; k < n; ++k) position[by_time[k]] = k;

    for (uint32_t main : by_size) {
        if (result.cluster[main] != 0) continue;
        const DeclusterEvent& m = events[main];
        const auto id = static_cast<uint32_t>(result.mainshocks.size() + 1);
        result.mainshocks.push_back(main);
        result.cluster[main] = id;
        skip[position[main]] = position[main] + 1;
        uint32_t size = 1;

        const double reach = window_km(m.magnitude);
        const double span = window_days(m.magnitude) * kSecondsPerDay;
        const double from = m.time - foreshocks * span;
        const double to = m.time + span;
        // Latitude alone already rules out most events of a long window.
        const double reach_degrees = reach / kEarthRadiusKm / kRadians;
        auto k = static_cast<uint32_t>(std::lower_bound(times.begin(), times.end(), from) - times.begin());
        for (k = next_free(skip, k); k < n && times[k] <= to; k = next_free(skip, k + 1)) {
            const uint32_t e = by_time[k];
            const DeclusterEvent& other = events[e];
            if (std::fabs(other.latitude - m.latitude) > reach_degrees) continue;
            if (epicentral_km(m.latitude, m.longitude, other.latitude, other.longitude) > reach) continue;
            result.cluster[e] = id;
            result.role[e] = other.time >= m.time ? ClusterRole::aftershock : ClusterRole::foreshock;
            skip[k] = k + 1;
            ++size;
        }
        result.sizes.push_back(size);
    }
    return result;
}
