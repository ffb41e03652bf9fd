// Three plots one above the other, sharing the time axis.
#include "stats/series_figure.h"

#include <plplot.h>

#include <algorithm>

#include "stats/time_axis.h"

namespace {

enum Colour : PLINT { kBlack = 1, kBlue = 2, kRed = 3, kGrey = 4 };
constexpr int kTicks = 8;

void frame(const TimeAxis& axis, double origin, double low, double high, const char* y_label, const char* title) {
    if (high <= low) {
        low -= 0.5;
        high += 0.5;
    }
    const double room = (high - low) * 0.08;
    low -= room;
    high += room;
    pladv(0);
    plvpor(0.1, 0.95, 0.22, 0.86);
    plwind(axis.low - origin, axis.high - origin, low, high);
    plcol0(kBlack);
    plbox("bc", 0.0, 0, "bcnstv", 0.0, 0);
    draw_time_axis(axis, origin, low, high);
    pllab("", y_label, title);
}

}  // namespace

bool write_series_figure(const std::string& path, FigureFormat format, const std::vector<SeriesWindow>& windows,
                         const std::vector<double>& times, std::string* error) {
    return draw_figure(path, format, 1200, 1100, error, [&] {
        plssub(1, 3);
        plinit();
        plschr(0.0, 0.9);
        const double origin = times.front();
        const TimeAxis axis = fit_time_axis(times.front(), times.back(), kTicks);

        std::vector<PLFLT> mc_t, mc;
        std::vector<PLFLT> b_t, b, b_low, b_high;
        for (const SeriesWindow& w : windows) {
            if (w.mc) {
                mc_t.push_back(w.last_time - origin);
                mc.push_back(*w.mc);
            }
            if (w.fit) {
                b_t.push_back(w.last_time - origin);
                b.push_back(w.fit->b);
                b_low.push_back(w.fit->b - w.fit->b_error);
                b_high.push_back(w.fit->b + w.fit->b_error);
            }
        }
        auto range = [](const std::vector<PLFLT>& low, const std::vector<PLFLT>& high, double* lo, double* hi) {
            *lo = low.empty() ? 0.0 : *std::min_element(low.begin(), low.end());
            *hi = high.empty() ? 1.0 : *std::max_element(high.begin(), high.end());
        };
        double lo = 0.0, hi = 0.0;
        range(mc, mc, &lo, &hi);
        frame(axis, origin, lo, hi, "Mc", "Magnitude of completeness of each window, at its last event");
        plcol0(kRed);
        plline(static_cast<PLINT>(mc_t.size()), mc_t.data(), mc.data());
        plstring(static_cast<PLINT>(mc_t.size()), mc_t.data(), mc.data(), "#(728)");

        range(b_low, b_high, &lo, &hi);
        frame(axis, origin, lo, hi, "b", b.empty() ? "b-value: no window has enough events above Mc"
                                                   : "b-value of each window with its Shi-Bolt error");
        plcol0(kGrey);
        plerry(static_cast<PLINT>(b_t.size()), b_t.data(), b_low.data(), b_high.data());
        plcol0(kBlue);
        plline(static_cast<PLINT>(b_t.size()), b_t.data(), b.data());
        plstring(static_cast<PLINT>(b_t.size()), b_t.data(), b.data(), "#(728)");

        std::vector<PLFLT> x, y;
        const size_t step = std::max<size_t>(1, times.size() / 20000);
        for (size_t i = 0; i < times.size(); i += step) {
            x.push_back(times[i] - origin);
            y.push_back(static_cast<double>(i + 1));
        }
        x.push_back(times.back() - origin);
        y.push_back(static_cast<double>(times.size()));
        frame(axis, origin, 0.0, static_cast<double>(times.size()), "Number of events", "Cumulative number of events");
        plcol0(kBlue);
        plwidth(2.0);
        plline(static_cast<PLINT>(x.size()), x.data(), y.data());
        plwidth(1.0);
    });
}
