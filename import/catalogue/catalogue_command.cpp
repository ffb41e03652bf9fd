// `sismap-import catalogue`: options, the import itself and its summary.
#include "import/catalogue/catalogue_command.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "tool/command_line.h"
#include "tool/output_file.h"
#include "tool/progress_bar.h"
#include "tool/selection/selection_options.h"
#include "import/downloads/download_reader.h"
#include "import/catalogue_output.h"

namespace {

struct Options {
    std::string input;
    std::string output;
    std::string format = "guess";
    bool all_types = false;
    SelectionFlags selection;
    std::string longitudes = "-180,180";
    bool skip_bad = false;
    bool quiet = false;
    bool no_depth = false;
};

int run(const Options& options, const Selection& selection) {
    static const std::map<std::string, CatalogueFormat> kFormats = {{"guess", CatalogueFormat::guess},
                                                                    {"csv", CatalogueFormat::csv},
                                                                    {"fdsn", CatalogueFormat::fdsn},
                                                                    {"geojson", CatalogueFormat::geojson},
                                                                    {"quakeml", CatalogueFormat::quakeml}};
    OutputFile output;
    if (!open_import_output(output, options.output)) return 1;
    ImportCounts counts;
    std::vector<QuakeEvent> events;
    try {
        ProgressBar bar(!options.quiet && stderr_is_terminal());
        events = read_events_file(options.input, kFormats.at(options.format), selection, &counts,
                                  [&bar](uint64_t read) { bar.update(read, 0, "events read"); });
    } catch (const std::exception& e) {
        // A bad input (ImportError) or the system giving out (memory): the
        // output's temporary file goes with `output`, the target stays.
        report_line(e.what());
        return 1;
    }
    return write_kept_events(events, counts, layout_name(counts.layout), output, options.quiet, !options.no_depth);
}

}  // namespace

void add_catalogue_command(CLI::App& app, int* status) {
    auto options = std::make_shared<Options>();
    CLI::App* command = app.add_subcommand(
        "catalogue", "Convert an earthquake catalogue (CSV, FDSN text, GeoJSON or QuakeML) to the viewer's layout");
    command->footer(
        "The layout is found from the content. By default only events of type earthquake with a magnitude\n"
        "above 0 are kept. The output is written whole or not at all; \"-\" is standard input or output.\n"
        "An import that keeps no event is refused and writes nothing.\n"
        "Exit status: 0 done, 1 bad input, no event kept or I/O failure, 2 bad command line.");
    command->add_option("INPUT", options->input, "Catalogue as downloaded, or - for standard input")->required();
    command->add_option("OUTPUT", options->output, "Catalogue for the viewer, or - for standard output")->required();
    command->add_option("--format", options->format, "Read as this layout instead of guessing")
        ->check(CLI::IsMember({"csv", "fdsn", "geojson", "quakeml"}));
    command->add_flag("--all-types", options->all_types, "Keep blasts and other non-earthquake events too");
    add_selection_options(*command, options->selection);
    add_longitudes_option(*command, options->longitudes,
                          "Write longitudes in -180,180 (as read, the default) or 0,360 (each negative one plus "
                          "360), as for an outline across 180 degrees");
    command->add_flag("--skip-bad", options->skip_bad, "Skip and count bad rows instead of stopping at the first");
    command->add_flag("--no-depth", options->no_depth,
                      "Write the seven classic columns, without the eighth, depth (km)");
    command->add_flag("-q,--quiet", options->quiet, "No summary line and no progress bar");

    command->callback([options, status] {
        Selection selection = make_selection(options->all_types, options->selection, options->skip_bad);
        selection.longitudes = *parse_longitude_form(options->longitudes);
        if (is_same_file(options->input, options->output))
            throw CLI::ValidationError("OUTPUT", "is the same file as INPUT; the input is never overwritten");
        *status = run(*options, selection);
    });
}
