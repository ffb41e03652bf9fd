// `sismap-import fetch`: options, the fetch over libcurl and the output,
// written as the catalogue mode writes it.
#include "import/fetch/fetch_command.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "version.h"
#include "tool/command_line.h"
#include "tool/output_file.h"
#include "tool/progress_bar.h"
#include "tool/selection/selection_options.h"
#include "import/catalogue_output.h"
#include "import/fetch/fetcher.h"

namespace {

struct Options {
    std::string output;
    std::string service = "usgs";
    SelectionFlags selection;
    bool all_types = false;
    std::string longitudes = "-180,180";
    int retries = 5;
    double retry_wait = 1.0;
    bool quiet = false;
    bool no_depth = false;
};

std::string service_table() {
    std::string text = "Services (--service NAME):\n";
    for (const KnownService& known : known_services()) {
        std::string name = known.name;
        name.resize(8, ' ');
        text += "  " + name + known.base_url + (&known == &known_services().front() ? "  (default)\n" : "\n");
    }
    return text;
}

int64_t now_us() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count() * 1000000;
}

int run(const Options& options, const FetchPlan& plan, const Selection& selection) {
    OutputFile output;
    if (!open_import_output(output, options.output)) return 1;
    ImportCounts counts;
    FetchCounts fetch_counts;
    std::vector<QuakeEvent> events;
    try {
        ProgressBar bar(!options.quiet && stderr_is_terminal());
        FetchHooks hooks;
        hooks.progress = [&bar](uint64_t slices, uint64_t kept) {
            bar.update(slices, 0, "slices fetched, " + std::to_string(kept) + " events kept so far");
        };
        if (!options.quiet) {
            hooks.notice = [&bar](const std::string& line) {
                bar.finish();
                report_line(line);
            };
        }
        hooks.sleep = [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); };
        const std::unique_ptr<HttpClient> client =
            make_curl_client(std::string("sismap-import/") + kVersion + " (sismap earthquake-catalogue viewer)");
        events = fetch_events(plan, selection, *client, hooks, &counts, &fetch_counts);
    } catch (const std::exception& e) {
        // A failed query (ImportError) or the system giving out: the
        // output's temporary file goes with `output`, the target stays.
        report_line(e.what());
        return 1;
    }
    const std::string source = "FDSN text from " + plan.service.name + ": " + std::to_string(fetch_counts.queries) +
                               (fetch_counts.queries == 1 ? " query, " : " queries, ") +
                               std::to_string(fetch_counts.slices) + (fetch_counts.slices == 1 ? " slice" : " slices");
    return write_kept_events(events, counts, source, output, options.quiet, !options.no_depth);
}

}  // namespace

void add_fetch_command(CLI::App& app, int* status) {
    auto options = std::make_shared<Options>();
    CLI::App* command = app.add_subcommand(
        "fetch", "Fetch an earthquake catalogue from an FDSN event service into the viewer's layout");
    command->footer(
        service_table() +
        "Or --service BASE, a URL up to and including /fdsnws/event/1 (http or https, any port).\n"
        "Queries ask for at most " + std::to_string(kQueryLimit) +
        " events; a slice of time the service refuses or cuts for holding more is split\n"
        "in two until every slice is whole. Events are kept once each by their EventID; by default only\n"
        "earthquakes with a magnitude above 0. The output is written whole or not at all; \"-\" is standard output.\n"
        "Exit status: 0 done, 1 a failed fetch or I/O failure, 2 bad command line.");
    command->add_option("OUTPUT", options->output, "Catalogue for the viewer, or - for standard output")->required();
    command->add_option("--service", options->service, "Service name (below) or base URL; default usgs")
        ->check(CLI::Validator(
            [](std::string& text) {
                std::string error;
                return find_service(text, &error) ? std::string() : error;
            },
            "NAME|URL"));
    add_selection_options(*command, options->selection, SelectionWording::fetch)[1]->required();
    command->add_flag("--all-types", options->all_types, "Keep blasts and other non-earthquake events too");
    command->add_option("--retries", options->retries,
                        "Ask again this many times when the service is busy or the connection fails; default 5")
        ->check(CLI::Range(0, 100));
    command->add_option("--retry-wait", options->retry_wait,
                        "Seconds before the first retry, doubled on each (a longer Retry-After wins, up to 60); "
                        "default 1")
        ->check(CLI::Validator(
            [](std::string& text) {
                const std::optional<double> value = parse_finite_number(text);
                return value && *value >= 0.0 && *value <= 3600.0 ? std::string()
                                                                   : "not a number of seconds from 0 to 3600: " + text;
            },
            "SECONDS"));
    add_longitudes_option(*command, options->longitudes,
                          "Write longitudes in -180,180 (as the service gives them, the default) or 0,360 (each "
                          "negative one plus 360), to match an outline across 180 degrees");
    command->add_flag("--no-depth", options->no_depth,
                      "Write the seven classic columns, without the eighth, depth (km)");
    command->add_flag("-q,--quiet", options->quiet, "No summary line, progress bar or retry notices");

    command->callback([options, status] {
        Selection selection = make_selection(options->all_types, options->selection, false);
        selection.longitudes = *parse_longitude_form(options->longitudes);
        if (!selection.to_us) {
            selection.to_us = now_us();
            if (*selection.from_us >= *selection.to_us)
                throw CLI::ValidationError("--from", "lies in the future; no event can be fetched yet");
        }
        std::string error;
        FetchPlan plan;
        plan.service = *find_service(options->service, &error);
        plan.from_us = *selection.from_us;
        plan.to_us = *selection.to_us;
        plan.region = selection.region;
        plan.min_magnitude = options->selection.min_magnitude;
        plan.depth = selection.depth;
        plan.retries = options->retries;
        plan.retry_wait = options->retry_wait;
        *status = run(*options, plan, selection);
    });
}
