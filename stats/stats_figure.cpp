// Drawing the four plots with PLplot. PLplot keeps one global drawing state,
// draws its own axes and writes the file by name itself, so the figure goes
// to the temporary path of an OutputFile, which commits it once PLplot has
// closed it.
#include "stats/stats_figure.h"

#include <plplot.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "stats/stats_report.h"
#include "stats/time_axis.h"
#include "tool/output_file.h"
#include "tool/text_basics.h"

namespace {

// The page: pixels of a PNG, points of an SVG or PDF.
constexpr PLINT kPageWidth = 1200;
constexpr PLINT kPageHeight = 900;
// Points drawn of the cumulative curve: far more than the plot's width in
// pixels, far fewer than a large catalogue's events.
constexpr size_t kCurvePoints = 20000;
// Slivers of the time axis within which marks of one magnitude coincide:
// about four to a pixel of the plot.
constexpr double kTimeSlivers = 2000.0;

// The first colour map, by index; 0 is the background.
enum Colour : PLINT { kWhite = 0, kBlack, kBlue, kRed, kGrey, kGreen };
constexpr PLINT kPalette[][3] = {{255, 255, 255}, {0, 0, 0},       {31, 87, 180},
                                 {200, 30, 30},   {150, 150, 150}, {20, 130, 60}};

// PLplot's line styles.
constexpr PLINT kSolid = 1;
constexpr PLINT kDashed = 3;

// Glyphs of the points, also shown in the legend.
const char* const kBinGlyph = "#(728)";
const char* const kCumulativeGlyph = "#(852)";

const char* driver_name(FigureFormat format) {
    switch (format) {
        case FigureFormat::png: return "pngcairo";
        case FigureFormat::svg: return "svgcairo";
        case FigureFormat::pdf: return "pdfcairo";
    }
    return "";
}

// Whether PLplot has the device: without its driver, plinit would ask on
// the terminal for another one.
bool has_device(const char* name) {
    constexpr int kRoom = 128;
    const char* menus[kRoom];
    const char* names[kRoom];
    const char** menu_list = menus;
    const char** name_list = names;
    int count = kRoom;
    plgDevs(&menu_list, &name_list, &count);
    for (int i = 0; i < count; ++i)
        if (std::string(names[i]) == name) return true;
    return false;
}

// The figure being drawn, for PLplot's error handlers.
OutputFile* drawing = nullptr;
std::string plplot_warning;

// PLplot gives up: it would print its own lines and exit. The temporary file
// goes, and the process ends as any other failure does.
int on_plplot_exit(const char* message) {
    std::fflush(stdout);
    std::fprintf(stderr, "sismap-stats: cannot write '%s': PLplot: %s\n",
                 drawing != nullptr ? drawing->path().c_str() : "the figure", message);
    if (drawing != nullptr) drawing->discard();
    std::_Exit(1);
}

// A complaint PLplot carries on after: the figure counts as failed.
void on_plplot_abort(const char* message) {
    if (plplot_warning.empty()) plplot_warning = message;
}

void line(double x0, double y0, double x1, double y1, Colour colour, PLINT style) {
    const PLFLT x[2] = {x0, x1};
    const PLFLT y[2] = {y0, y1};
    plcol0(colour);
    pllsty(style);
    plline(2, x, y);
    pllsty(kSolid);
}

// Room around a range that may be a single value.
void widen(double* low, double* high, double margin) {
    if (*high <= *low) {
        *low -= 0.5;
        *high += 0.5;
    }
    const double room = (*high - *low) * margin;
    *low -= room;
    *high += room;
}

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Columns across a plot within which marks are thinned to one: a few
// pixels each, so that bins far narrower than a pixel still draw as a curve
// and not as a solid band.
constexpr double kMarkColumns = 150.0;
// Room kept between the legend and any data, as a share of the plot.
constexpr double kLegendPad = 0.02;

// The legend's entries: the two kinds of marks, and the fitted law when
// there is one.
struct LegendEntries {
    int count;
    PLINT options[3] = {PL_LEGEND_SYMBOL, PL_LEGEND_SYMBOL, PL_LEGEND_LINE};
    const char* texts[3] = {"events in the bin", "events at or above M", "fitted from Mc"};
    PLINT line_colours[3] = {0, 0, kRed};
    PLINT symbol_colours[3] = {kBlue, kBlack, 0};
};

// Draws the legend at `position` (a PL_POSITION_* corner inside the plot) and
// returns its width and height as shares of the plot. With `invisible`, it is
// drawn in the background colour, with no box, to be measured before the
// data are drawn over it.
std::pair<double, double> legend(const LegendEntries& e, PLINT position, bool invisible) {
    const PLINT text_colours[3] = {invisible ? kWhite : kBlack, invisible ? kWhite : kBlack,
                                   invisible ? kWhite : kBlack};
    PLINT line_colours[3];
    PLINT symbol_colours[3];
    for (int i = 0; i < 3; ++i) {
        line_colours[i] = invisible ? kWhite : e.line_colours[i];
        symbol_colours[i] = invisible ? kWhite : e.symbol_colours[i];
    }
    const PLINT line_styles[3] = {kSolid, kSolid, kSolid};
    const PLFLT line_widths[3] = {1.0, 1.0, 2.0};
    const PLFLT symbol_scales[3] = {1.0, 1.0, 1.0};
    const PLINT symbol_numbers[3] = {1, 1, 0};
    const char* symbols[3] = {kBinGlyph, kCumulativeGlyph, ""};
    PLFLT width = 0.0;
    PLFLT height = 0.0;
    pllegend(&width, &height, invisible ? 0 : PL_LEGEND_BACKGROUND | PL_LEGEND_BOUNDING_BOX,
             position | PL_POSITION_INSIDE, kLegendPad, kLegendPad, 0.08, kWhite, kBlack, kSolid, 0, 0, e.count,
             e.options, 1.0, 0.8, 2.0, 0.0, text_colours, e.texts, nullptr, nullptr, nullptr, nullptr, line_colours,
             line_styles, line_widths, symbol_colours, symbol_scales, symbol_numbers, symbols);
    return {width, height};
}

// Points as shares of the plot, (0, 0) bottom left.
struct Share {
    double x, y;
};

// The first corner of the plot where a legend of the given size covers none
// of `points`; 0 when every corner would cover one.
PLINT free_corner(const std::vector<Share>& points, double width, double height) {
    const PLINT corners[4] = {PL_POSITION_TOP | PL_POSITION_RIGHT, PL_POSITION_BOTTOM | PL_POSITION_LEFT,
                              PL_POSITION_TOP | PL_POSITION_LEFT, PL_POSITION_BOTTOM | PL_POSITION_RIGHT};
    for (PLINT corner : corners) {
        const double x0 = (corner & PL_POSITION_RIGHT) ? 1.0 - 2 * kLegendPad - width : 0.0;
        const double x1 = (corner & PL_POSITION_RIGHT) ? 1.0 : 2 * kLegendPad + width;
        const double y0 = (corner & PL_POSITION_TOP) ? 1.0 - 2 * kLegendPad - height : 0.0;
        const double y1 = (corner & PL_POSITION_TOP) ? 1.0 : 2 * kLegendPad + height;
        const bool covers = std::any_of(points.begin(), points.end(), [&](const Share& p) {
            return p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1;
        });
        if (!covers) return corner;
    }
    return 0;
}

// Keeps one point of each column of the plot's width: the highest, or with
// `first` the first met. Points must be in ascending x.
void thin(std::vector<PLFLT>* x, std::vector<PLFLT>* y, double x_low, double x_high, bool first) {
    if (x->size() <= static_cast<size_t>(kMarkColumns)) return;
    std::vector<PLFLT> kept_x, kept_y;
    int64_t column = -1;
    for (size_t i = 0; i < x->size(); ++i) {
        const auto here = static_cast<int64_t>(((*x)[i] - x_low) / (x_high - x_low) * kMarkColumns);
        if (here != column) {
            column = here;
            kept_x.push_back((*x)[i]);
            kept_y.push_back((*y)[i]);
        } else if (!first && (*y)[i] > kept_y.back()) {
            kept_y.back() = (*y)[i];
        }
    }
    x->swap(kept_x);
    y->swap(kept_y);
}

double mc_of(const FigureContent& c) { return c.bins.centre(c.completeness.mc_bin); }

void draw_magnitude_frequency(const FigureContent& c) {
    const MagnitudeHistogram& histogram = c.histogram;
    const double mc = mc_of(c);
    std::vector<PLFLT> bin_m, bin_n, cumulative_m, cumulative_n;
    for (int64_t bin = histogram.first_bin(); bin <= histogram.last_bin(); ++bin) {
        const double m = c.bins.centre(bin);
        if (histogram.count(bin) > 0) {
            bin_m.push_back(m);
            bin_n.push_back(std::log10(static_cast<double>(histogram.count(bin))));
        }
        cumulative_m.push_back(m);
        cumulative_n.push_back(std::log10(static_cast<double>(histogram.at_or_above(bin))));
    }
    double x_low = std::min(c.bins.centre(histogram.first_bin()), mc);
    double x_high = std::max(c.bins.centre(histogram.last_bin()), mc);
    widen(&x_low, &x_high, 0.04);
    double y_low = 0.0;
    double y_high = cumulative_n.front();
    widen(&y_low, &y_high, 0.08);
    thin(&bin_m, &bin_n, x_low, x_high, false);
    thin(&cumulative_m, &cumulative_n, x_low, x_high, true);

    // The fitted law from Mc to the largest magnitude, as a line of points
    // that the legend must keep clear of.
    std::vector<PLFLT> fit_m, fit_n;
    if (c.fit != nullptr) {
        const double last = c.bins.centre(histogram.last_bin());
        for (int i = 0; i <= 50; ++i) {
            const double m = c.fit->mc + (last - c.fit->mc) * i / 50.0;
            fit_m.push_back(m);
            fit_n.push_back(c.fit->a - c.fit->b * m);
        }
    }

    // The plot's frame first, then the legend measured (drawn unseen), then
    // the corner it fits in; with no corner free, the plot grows upwards
    // until the band above the data holds it.
    LegendEntries entries{c.fit != nullptr ? 3 : 2};
    pladv(0);
    plvsta();
    plwind(x_low, x_high, y_low, y_high);
    const auto [width, height] = legend(entries, PL_POSITION_TOP | PL_POSITION_RIGHT, true);
    const double mc_label_x = mc + 0.01 * (x_high - x_low);
    std::vector<Share> points;
    auto add = [&](const std::vector<PLFLT>& xs, const std::vector<PLFLT>& ys) {
        for (size_t i = 0; i < xs.size(); ++i)
            points.push_back(Share{(xs[i] - x_low) / (x_high - x_low), (ys[i] - y_low) / (y_high - y_low)});
    };
    add(bin_m, bin_n);
    add(cumulative_m, cumulative_n);
    add(fit_m, fit_n);
    // The label of Mc at the foot of its line, some ten characters wide.
    const double label_at = (mc_label_x - x_low) / (x_high - x_low);
    for (double dx = 0.0; dx <= 0.15; dx += 0.01)
        points.push_back(Share{label_at > 0.8 ? label_at - 0.02 - dx : label_at + dx, 0.05});
    PLINT corner = free_corner(points, width, height);
    if (corner == 0) {
        double top = 0.0;
        for (const Share& p : points) top = std::max(top, p.y);
        const double room = 1.0 - 3 * kLegendPad - height;
        y_high = y_low + (y_high - y_low) * top / room;
        corner = PL_POSITION_TOP | PL_POSITION_RIGHT;
    }
    plcol0(kBlack);
    plwind(x_low, x_high, y_low, y_high);
    plbox("bcnst", 0.0, 0, "bcnstvl", 0.0, 0);
    const std::string title = c.fit != nullptr
                                  ? "Magnitude-frequency: b = " + fixed(c.fit->b, 3) + " ± " +
                                        fixed(c.fit->b_error, 3) + ", a = " + fixed(c.fit->a, 3)
                                  : std::string("Magnitude-frequency: no b-value (< 2 bins at or above Mc)");
    pllab("Magnitude", "Number of events", title.c_str());
    plcol0(kBlue);
    plstring(static_cast<PLINT>(bin_m.size()), bin_m.data(), bin_n.data(), kBinGlyph);
    plcol0(kBlack);
    plstring(static_cast<PLINT>(cumulative_m.size()), cumulative_m.data(), cumulative_n.data(), kCumulativeGlyph);
    if (c.fit != nullptr) {
        plcol0(kRed);
        plwidth(2.0);
        plline(static_cast<PLINT>(fit_m.size()), fit_m.data(), fit_n.data());
        plwidth(1.0);
    }
    line(mc, y_low, mc, y_high, kRed, kDashed);
    // Right of the line, or left of it when the line is near the right edge.
    const bool label_left = mc_label_x > x_low + 0.8 * (x_high - x_low);
    plptex(label_left ? mc - 0.01 * (x_high - x_low) : mc_label_x, y_low + 0.04 * (y_high - y_low), 1.0, 0.0,
           label_left ? 1.0 : 0.0, ("Mc = " + short_number(mc)).c_str());
    legend(entries, corner, false);
}

// A plot of time across: its frame with the time axis beneath, the y axis
// plain. The window's x runs in seconds from `origin`.
void time_frame(const TimeAxis& axis, double origin, double y_low, double y_high, const char* y_label,
                const std::string& title) {
    pladv(0);
    plvsta();
    plwind(axis.low - origin, axis.high - origin, y_low, y_high);
    plcol0(kBlack);
    plbox("bc", 0.0, 0, "bcnstv", 0.0, 0);
    draw_time_axis(axis, origin, y_low, y_high);
    pllab("", y_label, title.c_str());
}

// The ticks of a time axis across one of the page's four plots.
constexpr int kTimeTicks = 6;

void draw_cumulative_count(const FigureContent& c) {
    std::vector<double> times = c.events.times;
    if (!std::is_sorted(times.begin(), times.end())) std::sort(times.begin(), times.end());
    const size_t n = times.size();
    const double origin = times.front();
    const size_t step = std::max<size_t>(1, n / kCurvePoints);
    std::vector<PLFLT> x, y;
    for (size_t i = 0; i < n; i += step) {
        x.push_back(times[i] - origin);
        y.push_back(static_cast<double>(i + 1));
    }
    if ((n - 1) % step != 0) {
        x.push_back(times.back() - origin);
        y.push_back(static_cast<double>(n));
    }
    const TimeAxis axis = fit_time_axis(times.front(), times.back(), kTimeTicks);
    time_frame(axis, origin, 0.0, static_cast<double>(n) * 1.05, "Number of events", "Cumulative number of events");
    plcol0(kBlue);
    plwidth(2.0);
    plline(static_cast<PLINT>(x.size()), x.data(), y.data());
    plwidth(1.0);
}

void draw_magnitude_time(const FigureContent& c) {
    const std::vector<double>& times = c.events.times;
    const std::vector<float>& magnitudes = c.events.magnitudes;
    const double first = *std::min_element(times.begin(), times.end());
    const double last = *std::max_element(times.begin(), times.end());
    const double mc = mc_of(c);
    // An event whose mark would land exactly on an earlier one's (the same
    // magnitude in the same sliver of time) is drawn once: a large
    // catalogue then costs its distinct marks, not its events.
    std::vector<PLFLT> x, y;
    std::unordered_set<uint64_t> drawn;
    const double slivers = static_cast<double>(kTimeSlivers) / std::max(last - first, 1e-9);
    for (size_t i = 0; i < times.size(); ++i) {
        uint32_t magnitude_bits;
        std::memcpy(&magnitude_bits, &magnitudes[i], sizeof magnitude_bits);
        const auto sliver = static_cast<uint64_t>((times[i] - first) * slivers);
        if (!drawn.insert(sliver << 32 | magnitude_bits).second) continue;
        x.push_back(times[i] - first);
        y.push_back(magnitudes[i]);
    }
    const TimeAxis axis = fit_time_axis(first, last, kTimeTicks);
    double y_low = 0.0;
    double y_high = std::max(c.bins.centre(c.histogram.last_bin()), mc);
    widen(&y_low, &y_high, 0.05);
    y_low = 0.0;
    time_frame(axis, first, y_low, y_high, "Magnitude",
               "Magnitude against time (dashed: Mc = " + short_number(mc) + ")");
    plcol0(kBlue);
    plssym(0.0, 0.5);
    plpoin(static_cast<PLINT>(x.size()), x.data(), y.data(), 4);  // 4: a small circle
    plssym(0.0, 1.0);
    line(axis.low - first, mc, axis.high - first, mc, kRed, kDashed);
}

void draw_residuals(const FigureContent& c) {
    const std::vector<FitResidual>& residuals = c.completeness.residuals;
    const double mc = mc_of(c);
    const std::string title =
        "Goodness of fit: Mc = " + short_number(mc) + " (" + method_name(c.completeness.method) + ")";
    plcol0(kBlack);
    if (residuals.empty()) {
        plenv(0.0, 1.0, 0.0, 1.0, 0, -1);  // -1: a box without axes
        pllab("", "", title.c_str());
        plptex(0.5, 0.5, 1.0, 0.0, 0.5, "no candidate Mc with 25 events at or above it");
        return;
    }
    std::vector<PLFLT> m, r;
    for (const FitResidual& candidate : residuals) {
        m.push_back(c.bins.centre(candidate.mc_bin));
        r.push_back(candidate.r);
    }
    double x_low = std::min(m.front(), mc);
    double x_high = std::max(m.back(), mc);
    widen(&x_low, &x_high, 0.04);
    double y_high = std::max(15.0, *std::max_element(r.begin(), r.end()) * 1.08);
    plenv(x_low, x_high, 0.0, y_high, 0, 0);
    pllab("Candidate Mc", "R (%)", title.c_str());
    for (const auto& [limit, label] : {std::make_pair(10.0, "90 %"), std::make_pair(5.0, "95 %")}) {
        line(x_low, limit, x_high, limit, kGrey, kDashed);
        plcol0(kGrey);
        plptex(x_high - 0.01 * (x_high - x_low), limit + 0.035 * y_high, 0.0, 0.0, 1.0, label);
    }
    line(mc, 0.0, mc, y_high, kRed, kDashed);
    // Candidates closer than the plot can tell apart (bins of a ten-
    // thousandth give tens of thousands) are drawn as a line alone.
    const bool marks = m.size() <= static_cast<size_t>(kMarkColumns);
    if (!marks) thin(&m, &r, x_low, x_high, false);
    plcol0(kGreen);
    plwidth(marks ? 2.0 : 1.0);
    plline(static_cast<PLINT>(m.size()), m.data(), r.data());
    plwidth(1.0);
    if (marks) plstring(static_cast<PLINT>(m.size()), m.data(), r.data(), kBinGlyph);
}

}  // namespace

std::optional<FigureFormat> figure_format(const std::string& path) {
    if (has_extension(path, ".png")) return FigureFormat::png;
    if (has_extension(path, ".svg")) return FigureFormat::svg;
    if (has_extension(path, ".pdf")) return FigureFormat::pdf;
    return std::nullopt;
}

bool write_figure(const std::string& path, FigureFormat format, const FigureContent& content, std::string* error) {
    return draw_figure(path, format, kPageWidth, kPageHeight, error, [&content] {
        plssub(2, 2);
        plinit();
        plschr(0.0, 0.9);
        draw_magnitude_frequency(content);
        draw_cumulative_count(content);
        draw_magnitude_time(content);
        draw_residuals(content);
    });
}

bool draw_figure(const std::string& path, FigureFormat format, int width, int height, std::string* error,
                 const std::function<void()>& draw) {
    const char* device = driver_name(format);
    if (!has_device(device)) {
        *error = "cannot write '" + path + "': PLplot has no " + device +
                 " device (is its cairo driver, Debian's plplot-driver-cairo, installed?)";
        return false;
    }
    OutputFile out;
    if (!out.open(path, error, true)) return false;  // PLplot writes it by name
    drawing = &out;
    plplot_warning.clear();
    plsexit(on_plplot_exit);
    plsabort(on_plplot_abort);

    plsdev(device);
    plsfnam(out.temp_path().c_str());
    plspage(0.0, 0.0, width, height, 0, 0);
    for (PLINT i = 0; i < static_cast<PLINT>(std::size(kPalette)); ++i)
        plscol0(i, kPalette[i][0], kPalette[i][1], kPalette[i][2]);
    draw();
    plend();
    drawing = nullptr;

    if (!plplot_warning.empty()) {
        *error = "cannot write '" + path + "': PLplot: " + plplot_warning;
        return false;  // `out` removes the temporary file
    }
    // The cairo driver does not report a failed write; an empty file is one.
    struct stat written;
    if (::stat(out.temp_path().c_str(), &written) != 0 || written.st_size == 0) {
        *error = "cannot write '" + path + "': nothing was drawn into it";
        return false;
    }
    return out.commit(error);
}
