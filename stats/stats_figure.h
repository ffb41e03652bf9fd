// The figure: one page of four plots drawn with PLplot through its cairo
// driver. Magnitude-frequency with the fitted law, the cumulative number of
// events over time, magnitude against time, and the goodness-of-fit
// residual R against each candidate Mc.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "stats/gutenberg_richter.h"
#include "stats/magnitude_bins.h"
#include "stats/stats_catalogue.h"

enum class FigureFormat { png, svg, pdf };

// The format that the name's extension (.png, .svg or .pdf, any case) asks
// for; empty for any other name.
std::optional<FigureFormat> figure_format(const std::string& path);

struct FigureContent {
    const StatsEvents& events;  // with times
    const MagnitudeHistogram& histogram;
    const MagnitudeBins& bins;
    const Completeness& completeness;
    const GutenbergRichterFit* fit;  // null when there is no b: no law is drawn
};

// Draws the figure into a temporary file beside `path` that replaces it only
// once complete: after a failure or a fatal signal no partial file is left
// and an earlier file at `path` is untouched. False, with the reason in
// `error`, when it could not be written.
bool write_figure(const std::string& path, FigureFormat format, const FigureContent& content, std::string* error);

// Opens a page of `width` by `height` (pixels, or points for SVG and PDF)
// with the figures' colours 0 to 5 (white, black, blue, red, grey, green),
// lets `draw` call plssub, plinit and draw, then closes the page and writes
// the file whole or not at all, as write_figure does.
bool draw_figure(const std::string& path, FigureFormat format, int width, int height, std::string* error,
                 const std::function<void()>& draw);
