// Options, the run and its output.
#include "stats/stats_command.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "stats/gutenberg_richter.h"
#include "stats/magnitude_bins.h"
#include "stats/stats_catalogue.h"
#include "stats/stats_figure.h"
#include "stats/stats_report.h"
#include "tool/command_line.h"
#include "tool/output_file.h"
#include "tool/selection/selection_options.h"

namespace {

struct StatsOptions {
    std::string catalogue;
    std::string figure;
    std::string mc = "best";
    double bin_width = 0.1;
    SelectionFlags selection;
    bool json = false;
    bool quiet = false;
};

int run(const StatsOptions& options, const Selection& selection) {
    const MagnitudeBins bins = *MagnitudeBins::of_width(options.bin_width);
    const McRequest request = *parse_mc_request(options.mc);
    const std::optional<FigureFormat> format =
        options.figure.empty() ? std::nullopt : figure_format(options.figure);

    StatsEvents events;
    std::string error;
    if (!read_stats_events(options.catalogue, selection, EventFields{format.has_value(), false}, &events, &error))
        return report_failure(error);
    const MagnitudeHistogram histogram(events.magnitudes, bins);
    const std::optional<Completeness> completeness = find_completeness(histogram, bins, request);
    if (!completeness)
        return report_failure(options.catalogue + ": no candidate Mc fits within " +
                    (request.method == McMethod::gof90 ? "10 % (gof90)" : "5 % (gof95)") +
                    "; ask for --mc best, maxc or a magnitude");
    const std::optional<GutenbergRichterFit> fit = fit_gutenberg_richter(histogram, bins, completeness->mc_bin);
    if (format && !write_figure(options.figure, *format,
                                FigureContent{events, histogram, bins, *completeness, fit ? &*fit : nullptr},
                                &error))
        return report_failure(error);

    const StatsReport report{events.magnitudes.size(),
                             events.first,
                             events.last,
                             completeness->method,
                             bins.centre(completeness->mc_bin),
                             histogram.at_or_above(completeness->mc_bin),
                             bins.width(),
                             fit};
    if (options.json) {
        std::fputs(json_text(report).c_str(), stdout);
    } else if (!options.quiet) {
        std::fputs(summary_text(report).c_str(), stdout);
        if (selection.depth)
            std::printf("events without a depth, left out by --depth: %llu\n",
                        static_cast<unsigned long long>(events.without_depth));
        if (format) std::printf("figure: %s\n", options.figure.c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : report_failure("cannot write to standard output");
}

}  // namespace

std::string check_mc(const std::string& text) {
    if (parse_mc_request(text)) return std::string();
    return "expected best, maxc, gof90, gof95 or a magnitude from 0 to 100, got \"" + text + "\"";
}

std::string check_bin_width(const std::string& text) {
    const std::optional<double> width = parse_finite_number(text);
    if (width && MagnitudeBins::of_width(*width)) return std::string();
    return "expected a positive width of at most 10 in whole ten-thousandths, got \"" + text + "\"";
}

std::string check_figure(const std::string& path) {
    if (figure_format(path)) return std::string();
    return "the figure's name must end in .png, .svg or .pdf: \"" + path + "\"";
}

void add_stats_command(CLI::App& app, int* status) {
    auto options = std::make_shared<StatsOptions>();
    app.footer(
        "Mc methods: maxc (maximum curvature), gof90 and gof95 (goodness of fit), best (gof95, else gof90,\n"
        "else maxc + 0.2) or a magnitude. The figure is written whole or not at all.\n"
        "Exit status: 0 done, 1 bad input or the figure not written, 2 bad command line.");
    app.add_option("CATALOGUE", options->catalogue, "Catalogue in the viewer's layout")->required();
    app.add_option("FIGURE", options->figure, "Figure to write: .png, .svg or .pdf")
        ->check(CLI::Validator(check_figure, "FILE"));
    app.add_option("--mc", options->mc, "Magnitude of completeness: best, maxc, gof90, gof95 or a magnitude")
        ->check(CLI::Validator(check_mc, "METHOD|M"))
        ->capture_default_str();
    app.add_option("--bin", options->bin_width, "Width of the magnitude bins")
        ->check(CLI::Validator(check_bin_width, "WIDTH"))
        ->capture_default_str();
    add_selection_options(app, options->selection);
    app.add_flag("--json", options->json, "Print one JSON object instead of the summary");
    app.add_flag("-q,--quiet", options->quiet, "No summary on standard output");

    app.callback([options, status] {
        const Selection selection =
            make_selection(false, options->selection, false);
        if (!options->figure.empty() && is_same_file(options->catalogue, options->figure))
            throw CLI::ValidationError("FIGURE", "is the same file as CATALOGUE; the catalogue is never overwritten");
        *status = run(*options, selection);
    });
}
