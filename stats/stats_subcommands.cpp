// Options, runs and outputs of decluster, series and map.
#include "stats/stats_subcommands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numeric>
#include <optional>
#include <string>

#include "data/data_loader.h"
#include "tool/selection/selection_options.h"
#include "stats/bvalue_map.h"
#include "stats/catalogue_lines.h"
#include "stats/decluster.h"
#include "stats/map_figure.h"
#include "stats/series.h"
#include "stats/series_figure.h"
#include "stats/stats_catalogue.h"
#include "stats/stats_command.h"
#include "stats/stats_report.h"
#include "tool/command_line.h"
#include "tool/output_file.h"
#include "tool/text_basics.h"

namespace {

// More nodes than any screen or file of this size can show.
constexpr uint64_t kMaxNodes = 4000000;

int finish_stdout() { return std::fflush(stdout) == 0 ? 0 : report_failure("cannot write to standard output"); }

void refuse_same_file(const std::string& input, const std::string& output, const char* name) {
    if (!output.empty() && is_same_file(input, output))
        throw CLI::ValidationError(name, "is the same file as CATALOGUE; the catalogue is never overwritten");
}

// The time of an instant in seconds, as the catalogue writes times.
std::string seconds_text(double seconds) {
    return time_text(civil_time(static_cast<int64_t>(std::llround(seconds * 1e6))));
}

std::string number_or_null(const std::optional<double>& value) {
    return value ? short_number(*value) : std::string("null");
}

// ---- decluster ----

struct DeclusterOptions {
    std::string catalogue;
    std::string output;
    std::string clusters;
    double foreshocks = 0.0;
    bool quiet = false;
};

const char* role_name(ClusterRole role) {
    switch (role) {
        case ClusterRole::mainshock: return "mainshock";
        case ClusterRole::aftershock: return "aftershock";
        case ClusterRole::foreshock: return "foreshock";
    }
    return "";
}

int run_decluster(const DeclusterOptions& options) {
    CatalogueLines catalogue;
    std::string error;
    if (!read_catalogue_lines(options.catalogue, &catalogue, &error)) return report_failure(error);
    const size_t n = catalogue.records.size();
    std::vector<DeclusterEvent> events(n);
    for (size_t i = 0; i < n; ++i) {
        const QuakeRecord& r = catalogue.records[i];
        const std::optional<double> time = utc_seconds(r);
        if (!time)
            return report_failure(options.catalogue + ": line " + std::to_string(catalogue.line_of[i] + 2) +
                        ": the date and time name no real UTC time");
        // Magnitudes as written (to the ten-thousandth), not as the float
        // holds them, so that 6.5 and the windows' edges are the file's.
        events[i] = DeclusterEvent{*time, r.latitude, r.longitude, std::llround(r.magnitude * 1e4) / 1e4};
    }
    const Declustering result = decluster(events, options.foreshocks);

    // The kept lines in time order, events of one time in file order; the
    // last line again when the input wrote it twice.
    std::vector<size_t> kept;
    for (size_t i = 0; i < n; ++i)
        if (result.role[i] == ClusterRole::mainshock) kept.push_back(i);
    std::stable_sort(kept.begin(), kept.end(), [&](size_t a, size_t b) { return events[a].time < events[b].time; });
    OutputFile out;
    if (!out.open(options.output, &error)) return report_failure(error);
    auto line_text = [&](size_t i) {
        std::string line(catalogue.lines[catalogue.line_of[i]]);
        if (line.empty() || line.back() != '\n') line += '\n';
        return line;
    };
    out.write(catalogue.header);
    if (!catalogue.header.empty() && catalogue.header.back() != '\n') out.write("\n");
    for (size_t i : kept) out.write(line_text(i));
    if (catalogue.repeats_last && !kept.empty()) out.write(line_text(kept.back()));

    OutputFile clusters;
    if (!options.clusters.empty()) {
        if (!clusters.open(options.clusters, &error)) return report_failure(error);
        clusters.write("event,cluster,role\n");
        for (size_t i = 0; i < n; ++i)
            clusters.write(std::to_string(catalogue.line_of[i] + 1) + "," + std::to_string(result.cluster[i]) + "," +
                           role_name(result.role[i]) + "\n");
    }
    if (!out.commit(&error)) return report_failure(error);
    if (!options.clusters.empty() && !clusters.commit(&error)) return report_failure(error);

    // With the catalogue on standard output ("-"), the summary would mix
    // into it.
    if (!options.quiet && !out.is_standard_output()) {
        const auto largest = static_cast<size_t>(
            std::max_element(result.sizes.begin(), result.sizes.end()) - result.sizes.begin());
        const uint32_t main = result.mainshocks[largest];
        std::printf("events: %zu read, %zu kept, %zu removed\n", n, kept.size(), n - kept.size());
        std::printf("largest cluster: %u events (cluster %zu, mainshock M %s at %s, line %zu)\n",
                    result.sizes[largest], largest + 1, short_number(events[main].magnitude).c_str(),
                    seconds_text(events[main].time).c_str(), catalogue.line_of[main] + 1);
        std::printf("declustered catalogue: %s\n", options.output.c_str());
        if (!options.clusters.empty()) std::printf("clusters: %s\n", options.clusters.c_str());
    }
    return finish_stdout();
}

// ---- series ----

struct SeriesOptions {
    std::string catalogue;
    std::string figure;
    size_t events = 500;
    std::optional<size_t> step;
    std::string mc = "best";
    uint64_t min_events = 50;
    double bin_width = 0.1;
    bool json = false;
    bool quiet = false;
};

int run_series(const SeriesOptions& options) {
    const MagnitudeBins bins = *MagnitudeBins::of_width(options.bin_width);
    StatsEvents events;
    std::string error;
    if (!read_stats_events(options.catalogue, Selection{}, EventFields{true, false}, &events, &error))
        return report_failure(error);
    std::vector<size_t> order(events.times.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return events.times[a] < events.times[b]; });
    std::vector<double> times;
    std::vector<float> magnitudes;
    for (size_t i : order) {
        times.push_back(events.times[i]);
        magnitudes.push_back(events.magnitudes[i]);
    }
    if (times.size() < options.events)
        return report_failure(options.catalogue + ": " + std::to_string(times.size()) +
                    " events, fewer than one window of " + std::to_string(options.events));
    SeriesRequest request;
    request.events = options.events;
    request.step = options.step ? *options.step : std::max<size_t>(1, options.events / 4);
    request.mc = *parse_mc_request(options.mc);
    request.min_events = options.min_events;
    const std::vector<SeriesWindow> windows = b_value_series(times, magnitudes, bins, request);

    const std::optional<FigureFormat> format =
        options.figure.empty() ? std::nullopt : figure_format(options.figure);
    if (format && !write_series_figure(options.figure, *format, windows, times, &error)) return report_failure(error);

    if (options.json) {
        std::string text = "{\"windows\": [";
        for (size_t i = 0; i < windows.size(); ++i) {
            const SeriesWindow& w = windows[i];
            text += std::string(i == 0 ? "" : ", ") + "{\"first\": \"" + seconds_text(w.first_time) +
                    "\", \"last\": \"" + seconds_text(w.last_time) + "\", \"events\": " +
                    std::to_string(w.last - w.first + 1) + ", \"mc\": " + number_or_null(w.mc) +
                    ", \"mc_method\": " + (w.mc ? "\"" + std::string(method_name(w.mc_method)) + "\"" : "null") +
                    ", \"b\": " + number_or_null(w.fit ? std::optional<double>(w.fit->b) : std::nullopt) +
                    ", \"b_error\": " + number_or_null(w.fit ? std::optional<double>(w.fit->b_error) : std::nullopt) +
                    ", \"events_above_mc\": " + std::to_string(w.events_above_mc) + "}";
        }
        text += "]}\n";
        std::fputs(text.c_str(), stdout);
    } else if (!options.quiet) {
        std::printf("%zu windows of %zu events, %zu apart\n", windows.size(), request.events, request.step);
        std::printf("%-22s %-22s %6s %8s %14s %8s\n", "first", "last", "mc", "method", "b", "above");
        for (const SeriesWindow& w : windows) {
            char b[48] = "-";
            if (w.fit) std::snprintf(b, sizeof b, "%.3f +- %.3f", w.fit->b, w.fit->b_error);
            std::printf("%-22s %-22s %6s %8s %14s %8llu\n", seconds_text(w.first_time).c_str(),
                        seconds_text(w.last_time).c_str(), w.mc ? short_number(*w.mc).c_str() : "-",
                        w.mc ? method_name(w.mc_method) : "-", b, static_cast<unsigned long long>(w.events_above_mc));
        }
        if (format) std::printf("figure: %s\n", options.figure.c_str());
    }
    return finish_stdout();
}

// ---- map ----

struct MapOptions {
    std::string catalogue;
    std::string output;
    std::string outline;
    double spacing = 0.0;
    size_t nearest = 200;
    std::optional<double> max_radius;
    uint64_t min_events = 50;
    std::string mc = "best";
    double bin_width = 0.1;
    bool quiet = false;
};

int run_map(const MapOptions& options) {
    const MagnitudeBins bins = *MagnitudeBins::of_width(options.bin_width);
    std::vector<LandscapePoint> outline;
    std::string error;
    if (!options.outline.empty()) {
        std::string text;
        if (!read_whole_file(options.outline, &text, &error)) return report_failure(error);
        DataLoader loader;
        loader.read_landscape(text);
        outline = loader.take_points();
        if (outline.empty()) return report_failure(options.outline + ": no outline vertex in the file");
    }
    StatsEvents events;
    if (!read_stats_events(options.catalogue, Selection{}, EventFields{false, true}, &events, &error))
        return report_failure(error);
    const std::optional<MapGrid> grid = map_grid(events.latitudes, events.longitudes, options.spacing, kMaxNodes);
    if (!grid)
        return report_failure(options.catalogue + ": a grid of " + short_number(options.spacing) +
                    " degrees has no node within the events' bounds, or more than 4,000,000");
    MapRequest request;
    request.spacing = options.spacing;
    request.nearest = options.nearest;
    request.max_radius_km = options.max_radius;
    request.min_events = options.min_events;
    request.mc = *parse_mc_request(options.mc);
    const std::vector<MapNode> nodes =
        b_value_map(events.latitudes, events.longitudes, events.magnitudes, bins, *grid, request);

    const std::optional<FigureFormat> format = figure_format(options.output);
    if (format) {
        if (!write_map_figure(options.output, *format,
                              MapFigureContent{nodes, options.spacing, events.latitudes, events.longitudes, outline},
                              &error))
            return report_failure(error);
    } else {
        OutputFile out;
        if (!out.open(options.output, &error)) return report_failure(error);
        out.write("latitude,longitude,events,radius_km,mc,b,b_error\n");
        for (const MapNode& node : nodes) {
            char line[160];
            std::snprintf(line, sizeof line, "%s,%s,%zu,%.1f,", short_number(node.latitude).c_str(),
                          short_number(node.longitude).c_str(), node.events, node.radius_km);
            std::string text = line;
            if (node.fit)
                text += short_number(*node.mc) + "," + short_number(node.fit->b) + "," + short_number(node.fit->b_error);
            else
                text += ",,";
            out.write(text + "\n");
        }
        if (!out.commit(&error)) return report_failure(error);
    }
    if (!options.quiet) {
        const size_t filled = static_cast<size_t>(
            std::count_if(nodes.begin(), nodes.end(), [](const MapNode& node) { return node.fit.has_value(); }));
        std::printf("events: %zu\nnodes: %zu (%lld by %lld), %zu with a b-value\nmap: %s\n", events.magnitudes.size(),
                    nodes.size(), static_cast<long long>(grid->rows), static_cast<long long>(grid->columns), filled,
                    options.output.c_str());
    }
    return finish_stdout();
}

std::string check_map_output(const std::string& path) {
    if (figure_format(path) || has_extension(path, ".csv")) return std::string();
    return "the map's name must end in .csv, .png, .svg or .pdf: \"" + path + "\"";
}

void add_common(CLI::App& app, std::string* mc, double* bin_width, bool* quiet) {
    app.add_option("--mc", *mc, "Magnitude of completeness: best, maxc, gof90, gof95 or a magnitude")
        ->check(CLI::Validator(check_mc, "METHOD|M"))
        ->capture_default_str();
    app.add_option("--bin", *bin_width, "Width of the magnitude bins")
        ->check(CLI::Validator(check_bin_width, "WIDTH"))
        ->capture_default_str();
    app.add_flag("-q,--quiet", *quiet, "No summary on standard output");
}

}  // namespace

void add_decluster_command(CLI::App& app, int* status) {
    auto options = std::make_shared<DeclusterOptions>();
    app.footer(
        "Gardner-Knopoff windows: L(M) = 10^(0.1238 M + 0.983) km; T(M) = 10^(0.032 M + 2.7389) days from M 6.5,\n"
        "else 10^(0.5409 M - 0.547). Events are visited largest first (ties: earliest, then first in the file);\n"
        "each free one becomes a mainshock and takes the free events within L of it and from F*T before it to\n"
        "T after it. OUTPUT keeps the mainshocks' lines, unchanged, in time order; outputs are written whole or\n"
        "not at all. Exit status: 0 done, 1 bad input or output, 2 bad command line.");
    app.add_option("CATALOGUE", options->catalogue, "Catalogue in the viewer's layout")->required();
    app.add_option("OUTPUT", options->output, "Declustered catalogue to write")->required();
    app.add_option("--foreshocks", options->foreshocks,
                   "Share F of T(M) before a mainshock within which events are its foreshocks (0 to 1)")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str();
    app.add_option("--clusters", options->clusters, "CSV of every event's cluster and role: event,cluster,role");
    app.add_flag("-q,--quiet", options->quiet, "No summary on standard output");
    app.callback([options, status] {
        refuse_same_file(options->catalogue, options->output, "OUTPUT");
        refuse_same_file(options->catalogue, options->clusters, "--clusters");
        if (!options->clusters.empty() && is_same_file(options->output, options->clusters))
            throw CLI::ValidationError("--clusters", "is the same file as OUTPUT");
        *status = run_decluster(*options);
    });
}

void add_series_command(CLI::App& app, int* status) {
    auto options = std::make_shared<SeriesOptions>();
    app.footer(
        "Windows of N consecutive events in time order, each K events after the one before, the last ending at\n"
        "the last event. b is given where at least M events lie at or above the window's Mc.\n"
        "Exit status: 0 done, 1 bad input or the figure not written, 2 bad command line.");
    app.add_option("CATALOGUE", options->catalogue, "Catalogue in the viewer's layout")->required();
    app.add_option("FIGURE", options->figure, "Figure to write: .png, .svg or .pdf")
        ->check(CLI::Validator(check_figure, "FILE"));
    app.add_option("--events", options->events, "Events in each window (N)")
        ->check(CLI::Range(size_t{2}, size_t{100000000}))
        ->capture_default_str();
    app.add_option("--step", options->step, "Events between consecutive windows (K; default N/4)")
        ->check(CLI::Range(size_t{1}, size_t{100000000}));
    app.add_option("--min-events", options->min_events, "Events at or above Mc for a b-value (M)")
        ->check(CLI::Range(uint64_t{2}, uint64_t{100000000}))
        ->capture_default_str();
    app.add_flag("--json", options->json, "Print one JSON object instead of the table");
    add_common(app, &options->mc, &options->bin_width, &options->quiet);
    app.callback([options, status] {
        refuse_same_file(options->catalogue, options->figure, "FIGURE");
        *status = run_series(*options);
    });
}

void add_map_command(CLI::App& app, int* status) {
    auto options = std::make_shared<MapOptions>();
    app.footer(
        "Nodes lie at every multiple of D degrees within the events' bounds; each takes its N nearest events by\n"
        "epicentral distance and is empty when the N-th is farther than --max-radius or fewer than M remain at\n"
        "or above its Mc. OUTPUT .csv: latitude,longitude,events,radius_km,mc,b,b_error; .png, .svg, .pdf: the\n"
        "map. Outputs are written whole or not at all.\n"
        "Exit status: 0 done, 1 bad input or output, 2 bad command line.");
    app.add_option("CATALOGUE", options->catalogue, "Catalogue in the viewer's layout")->required();
    app.add_option("OUTPUT", options->output, "Map to write: .csv, .png, .svg or .pdf")
        ->required()
        ->check(CLI::Validator(check_map_output, "FILE"));
    app.add_option("--grid", options->spacing, "Spacing of the nodes in degrees (D)")
        ->required()
        ->check(CLI::Range(0.001, 90.0));
    app.add_option("--nearest", options->nearest, "Nearest events each node takes (N)")
        ->check(CLI::Range(size_t{2}, size_t{1000000}))
        ->capture_default_str();
    app.add_option("--max-radius", options->max_radius, "Largest distance to the N-th event, km (default: none)")
        ->check(CLI::PositiveNumber);
    app.add_option("--min-events", options->min_events, "Events at or above Mc for a b-value (M)")
        ->check(CLI::Range(uint64_t{2}, uint64_t{100000000}))
        ->capture_default_str();
    app.add_option("--outline", options->outline, "Outline to draw, in the viewer's landscape layout");
    add_common(app, &options->mc, &options->bin_width, &options->quiet);
    app.callback([options, status] {
        refuse_same_file(options->catalogue, options->output, "OUTPUT");
        *status = run_map(*options);
    });
}
