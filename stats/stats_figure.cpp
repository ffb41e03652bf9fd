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

void draw_magnitude_frequency(const FigureContent& c) {
    const MagnitudeHistogram& histogram = c.histogram;
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
    double x_low = std::min(c.bins.centre(histogram.first_bin()), c.fit.mc);
    double x_high = c.bins.centre(histogram.last_bin());
    widen(&x_low, &x_high, 0.04);
    double y_low = 0.0;
    double y_high = cumulative_n.front();
    widen(&y_low, &y_high, 0.08);

    plcol0(kBlack);
    plenv(x_low, x_high, y_low, y_high, 0, 20);  // 20: logarithmic y axis
    pllab("Magnitude", "Number of events",
          ("Magnitude-frequency: b = " + fixed(c.fit.b, 3) + " ± " + fixed(c.fit.b_error, 3) +
           ", a = " + fixed(c.fit.a, 3))
              .c_str());
    plcol0(kBlue);
    plstring(static_cast<PLINT>(bin_m.size()), bin_m.data(), bin_n.data(), kBinGlyph);
    plcol0(kBlack);
    plstring(static_cast<PLINT>(cumulative_m.size()), cumulative_m.data(), cumulative_n.data(), kCumulativeGlyph);

    const PLFLT fit_m[2] = {c.fit.mc, c.bins.centre(histogram.last_bin())};
    const PLFLT fit_n[2] = {c.fit.a - c.fit.b * fit_m[0], c.fit.a - c.fit.b * fit_m[1]};
    plcol0(kRed);
    plwidth(2.0);
    plline(2, fit_m, fit_n);
    plwidth(1.0);
    line(c.fit.mc, y_low, c.fit.mc, y_high, kRed, kDashed);
    plptex(c.fit.mc + 0.01 * (x_high - x_low), y_low + 0.04 * (y_high - y_low), 1.0, 0.0, 0.0,
           ("Mc = " + short_number(c.fit.mc)).c_str());

    const PLINT options[3] = {PL_LEGEND_SYMBOL, PL_LEGEND_SYMBOL, PL_LEGEND_LINE};
    const char* texts[3] = {"events in the bin", "events at or above M", "fitted from Mc"};
    const PLINT text_colours[3] = {kBlack, kBlack, kBlack};
    const PLINT line_colours[3] = {0, 0, kRed};
    const PLINT line_styles[3] = {kSolid, kSolid, kSolid};
    const PLFLT line_widths[3] = {1.0, 1.0, 2.0};
    const PLINT symbol_colours[3] = {kBlue, kBlack, 0};
    const PLFLT symbol_scales[3] = {1.0, 1.0, 1.0};
    const PLINT symbol_numbers[3] = {1, 1, 0};
    const char* symbols[3] = {kBinGlyph, kCumulativeGlyph, ""};
    PLFLT legend_width = 0.0;
    PLFLT legend_height = 0.0;
    pllegend(&legend_width, &legend_height, PL_LEGEND_BACKGROUND | PL_LEGEND_BOUNDING_BOX,
             PL_POSITION_TOP | PL_POSITION_RIGHT | PL_POSITION_INSIDE, 0.02, 0.02, 0.08, kWhite, kBlack, kSolid, 0,
             0, 3, options, 1.0, 0.8, 2.0, 0.0, text_colours, texts, nullptr, nullptr, nullptr, nullptr,
             line_colours, line_styles, line_widths, symbol_colours, symbol_scales, symbol_numbers, symbols);
}

void draw_cumulative_count(const FigureContent& c) {
    std::vector<double> years = c.events.years;
    if (!std::is_sorted(years.begin(), years.end())) std::sort(years.begin(), years.end());
    const size_t n = years.size();
    const size_t step = std::max<size_t>(1, n / kCurvePoints);
    std::vector<PLFLT> x, y;
    for (size_t i = 0; i < n; i += step) {
        x.push_back(years[i]);
        y.push_back(static_cast<double>(i + 1));
    }
    if ((n - 1) % step != 0) {
        x.push_back(years.back());
        y.push_back(static_cast<double>(n));
    }
    double x_low = years.front();
    double x_high = years.back();
    widen(&x_low, &x_high, 0.02);
    plcol0(kBlack);
    plenv(x_low, x_high, 0.0, static_cast<double>(n) * 1.05, 0, 0);
    pllab("Year", "Number of events", "Cumulative number of events");
    plcol0(kBlue);
    plwidth(2.0);
    plline(static_cast<PLINT>(x.size()), x.data(), y.data());
    plwidth(1.0);
}

void draw_magnitude_time(const FigureContent& c) {
    const std::vector<double>& years = c.events.years;
    const std::vector<float>& magnitudes = c.events.magnitudes;
    double x_low = *std::min_element(years.begin(), years.end());
    double x_high = *std::max_element(years.begin(), years.end());
    // An event whose mark would land exactly on an earlier one's (the same
    // magnitude in the same sliver of time) is drawn once: a large
    // catalogue then costs its distinct marks, not its events.
    std::vector<PLFLT> x, y;
    std::unordered_set<uint64_t> drawn;
    const double slivers = static_cast<double>(kTimeSlivers) / std::max(x_high - x_low, 1e-9);
    for (size_t i = 0; i < years.size(); ++i) {
        uint32_t magnitude_bits;
        std::memcpy(&magnitude_bits, &magnitudes[i], sizeof magnitude_bits);
        const auto sliver = static_cast<uint64_t>((years[i] - x_low) * slivers);
        if (!drawn.insert(sliver << 32 | magnitude_bits).second) continue;
        x.push_back(years[i]);
        y.push_back(magnitudes[i]);
    }
    widen(&x_low, &x_high, 0.02);
    double y_low = 0.0;
    double y_high = c.bins.centre(c.histogram.last_bin());
    widen(&y_low, &y_high, 0.05);
    y_low = 0.0;
    plcol0(kBlack);
    plenv(x_low, x_high, y_low, y_high, 0, 0);
    pllab("Year", "Magnitude", ("Magnitude against time (dashed: Mc = " + short_number(c.fit.mc) + ")").c_str());
    plcol0(kBlue);
    plssym(0.0, 0.5);
    plpoin(static_cast<PLINT>(x.size()), x.data(), y.data(), 4);  // 4: a small circle
    plssym(0.0, 1.0);
    line(x_low, c.fit.mc, x_high, c.fit.mc, kRed, kDashed);
}

void draw_residuals(const FigureContent& c) {
    const std::vector<FitResidual>& residuals = c.completeness.residuals;
    const std::string title = "Goodness of fit: Mc = " + short_number(c.fit.mc) + " (" +
                              method_name(c.completeness.method) + ")";
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
    double x_low = std::min(m.front(), c.fit.mc);
    double x_high = std::max(m.back(), c.fit.mc);
    widen(&x_low, &x_high, 0.04);
    double y_high = std::max(15.0, *std::max_element(r.begin(), r.end()) * 1.08);
    plenv(x_low, x_high, 0.0, y_high, 0, 0);
    pllab("Candidate Mc", "R (%)", title.c_str());
    for (const auto& [limit, label] : {std::make_pair(10.0, "90 %"), std::make_pair(5.0, "95 %")}) {
        line(x_low, limit, x_high, limit, kGrey, kDashed);
        plcol0(kGrey);
        plptex(x_high - 0.01 * (x_high - x_low), limit + 0.035 * y_high, 0.0, 0.0, 1.0, label);
    }
    line(c.fit.mc, 0.0, c.fit.mc, y_high, kRed, kDashed);
    plcol0(kGreen);
    plwidth(2.0);
    plline(static_cast<PLINT>(m.size()), m.data(), r.data());
    plwidth(1.0);
    plstring(static_cast<PLINT>(m.size()), m.data(), r.data(), kBinGlyph);
}

}  // namespace

std::optional<FigureFormat> figure_format(const std::string& path) {
    if (has_extension(path, ".png")) return FigureFormat::png;
    if (has_extension(path, ".svg")) return FigureFormat::svg;
    if (has_extension(path, ".pdf")) return FigureFormat::pdf;
    return std::nullopt;
}

bool write_figure(const std::string& path, FigureFormat format, const FigureContent& content, std::string* error) {
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
    plspage(0.0, 0.0, kPageWidth, kPageHeight, 0, 0);
    for (PLINT i = 0; i < static_cast<PLINT>(std::size(kPalette)); ++i)
        plscol0(i, kPalette[i][0], kPalette[i][1], kPalette[i][2]);
    plssub(2, 2);
    plinit();
    plschr(0.0, 0.9);
    draw_magnitude_frequency(content);
    draw_cumulative_count(content);
    draw_magnitude_time(content);
    draw_residuals(content);
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
