// Writing the kept events and the summary, for the catalogue and fetch modes.
#include "import/catalogue/catalogue_output.h"

#include <cstdio>
#include <exception>

#include "import/catalogue/catalogue_writer.h"
#include "import/selection_options.h"

std::string import_summary(const ImportCounts& counts, const std::string& source) {
    // Repeats only happen where answers to queries meet; a file has none.
    const std::string repeated =
        counts.repeated == 0 ? std::string() : std::to_string(counts.repeated) + " repeated where answers meet, ";
    return "sismap-import: read " + std::to_string(counts.read) + " events (" + source + "), kept " +
           std::to_string(counts.kept) + "; dropped " + repeated + std::to_string(counts.not_earthquake) +
           " not earthquakes, " + std::to_string(counts.no_magnitude) + " without a magnitude above 0, " +
           std::to_string(counts.below_min_magnitude) + " below --min-mag, " + std::to_string(counts.outside_time) +
           " outside --from/--to, " + std::to_string(counts.outside_region) + " outside --region, " +
           std::to_string(counts.bad) + " bad rows skipped";
}

int write_kept_events(std::vector<QuakeEvent>& events, const ImportCounts& counts, const std::string& source,
                      OutputFile& output, bool quiet) {
    if (events.empty()) {
        // The viewer refuses a catalogue without events: say which selection
        // took them all instead of writing one.
        std::fprintf(stderr, "%s\nsismap-import: no event is kept, so nothing is written: %s\n",
                     import_summary(counts, source).c_str(), no_event_kept_reason(counts).c_str());
        return 1;
    }
    try {
        sort_events(events);
        write_catalogue(events, [&output](std::string_view text) { output.write(text); });
    } catch (const std::exception& e) {
        // The system giving out (memory): the output's temporary file goes
        // with `output`, the target stays.
        std::fprintf(stderr, "sismap-import: %s\n", e.what());
        return 1;
    }
    std::string error;
    if (!output.commit(&error)) {
        std::fprintf(stderr, "sismap-import: %s\n", error.c_str());
        return 1;
    }
    if (!quiet) std::fprintf(stderr, "%s\n", import_summary(counts, source).c_str());
    return 0;
}
