// Each window is binned and fitted as the whole catalogue is.
#include "stats/series.h"

std::vector<SeriesWindow> b_value_series(const std::vector<double>& times, const std::vector<float>& magnitudes,
                                         const MagnitudeBins& bins, const SeriesRequest& request) {
    std::vector<SeriesWindow> windows;
    const size_t n = magnitudes.size();
    if (request.events == 0 || request.step == 0 || n < request.events) return windows;
    std::vector<size_t> ends;
    for (size_t end = n - 1;; end -= request.step) {
        ends.push_back(end);
        if (end < request.events - 1 + request.step) break;
    }
    std::vector<float> window_magnitudes;
    for (auto it = ends.rbegin(); it != ends.rend(); ++it) {
        SeriesWindow w;
        w.last = *it;
        w.first = *it + 1 - request.events;
        w.first_time = times[w.first];
        w.last_time = times[w.last];
        window_magnitudes.assign(magnitudes.begin() + static_cast<std::ptrdiff_t>(w.first),
                                 magnitudes.begin() + static_cast<std::ptrdiff_t>(w.last + 1));
        const MagnitudeHistogram histogram(window_magnitudes, bins);
        const std::optional<Completeness> completeness = find_completeness(histogram, bins, request.mc);
        if (completeness) {
            w.mc = bins.centre(completeness->mc_bin);
            w.mc_method = completeness->method;
            w.events_above_mc = histogram.at_or_above(completeness->mc_bin);
            if (w.events_above_mc >= request.min_events)
                w.fit = fit_gutenberg_richter(histogram, bins, completeness->mc_bin);
        }
        windows.push_back(w);
    }
    return windows;
}
