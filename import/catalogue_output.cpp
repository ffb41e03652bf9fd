// Writing the kept events and the summary, for the catalogue and fetch modes.
#include "import/catalogue_output.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "import/catalogue_writer.h"
#include "tool/command_line.h"
#include "tool/selection/selection_options.h"
#include "tool/text_basics.h"

bool open_import_output(OutputFile& output, const std::string& path) {
    std::string error;
    if (output.open(path, &error)) return true;
    report_line(error);
    return false;
}

std::string import_summary(const ImportCounts& counts, const std::string& source) {
    // Repeats only happen where answers to queries meet; a file has none.
    const std::string repeated =
        counts.repeated == 0 ? std::string() : std::to_string(counts.repeated) + " repeated where answers meet, ";
    const std::string depth = counts.by_depth ? std::to_string(counts.no_depth) + " without a depth, " +
                                                    std::to_string(counts.outside_depth) + " outside --depth, "
                                              : std::string();
    return "sismap-import: read " + std::to_string(counts.read) + " events (" + source + "), kept " +
           std::to_string(counts.kept) + "; dropped " + repeated + std::to_string(counts.not_earthquake) +
           " not earthquakes, " + std::to_string(counts.no_magnitude) + " without a magnitude above 0, " +
           std::to_string(counts.below_min_magnitude) + " below --min-mag, " + std::to_string(counts.outside_time) +
           " outside --from/--to, " + std::to_string(counts.outside_region) + " outside --region, " + depth +
           std::to_string(counts.bad) + " bad rows skipped";
}

// When the events span less than the viewer's 30-day window, playing them
// shows them all at once; a real-time recording sized to the span shows
// them unfold (some 150 to 300 frames). Empty when the span is longer.
std::string short_span_hint(const std::vector<QuakeEvent>& events, const OutputFile& output) {
    constexpr int64_t kDayUs = int64_t{86400} * 1000000;
    if (events.empty()) return std::string();
    const int64_t span = events.back().time_us - events.front().time_us;
    if (span >= 30 * kDayUs) return std::string();
    const char* sizes = span <= kDayUs ? "--window 1h --step 5m"
                        : span <= 3 * kDayUs ? "--window 6h --step 15m"
                        : span <= 10 * kDayUs ? "--window 1d --step 1h"
                                               : "--window 3d --step 3h";
    char days[32];
    std::snprintf(days, sizeof days, "%.1f", static_cast<double>(span) / kDayUs);
    return std::string("sismap-import: these events span ") + days +
           " days, less than the viewer's 30-day window, so playing them shows them all at once; to watch them "
           "unfold, record them in real time: sismap-record " + sizes + " OUTLINE " +
           (output.is_standard_output() ? std::string("CATALOGUE") : shell_word(output.path())) + " OUT.mp4";
}

int write_kept_events(std::vector<QuakeEvent>& events, const ImportCounts& counts, const std::string& source,
                      OutputFile& output, bool quiet, bool with_depth) {
    if (events.empty()) {
        // The viewer refuses a catalogue without events: say which selection
        // took them all instead of writing one.
        std::fprintf(stderr, "%s\nsismap-import: no event is kept, so nothing is written: %s\n",
                     import_summary(counts, source).c_str(), no_event_kept_reason(counts).c_str());
        return 1;
    }
    try {
        sort_events(events);
        write_catalogue(events, [&output](std::string_view text) { output.write(text); }, with_depth);
    } catch (const std::exception& e) {
        // The system giving out (memory): the output's temporary file goes
        // with `output`, the target stays.
        report_line(e.what());
        return 1;
    }
    std::string error;
    if (!output.commit(&error)) {
        report_line(error);
        return 1;
    }
    if (!quiet) {
        std::fprintf(stderr, "%s\n", import_summary(counts, source).c_str());
        const std::string hint = short_span_hint(events, output);
        if (!hint.empty()) std::fprintf(stderr, "%s\n", hint.c_str());
    }
    return 0;
}

std::string no_event_kept_reason(const ImportCounts& counts) {
    if (counts.read == 0) return "the input holds no events";
    struct Cause {
        uint64_t count;
        const char* many;  // after a count above 1
        const char* one;   // after a count of 1
    };
    std::vector<Cause> causes = {
        {counts.not_earthquake, " are not earthquakes (--all-types keeps them)", " is not an earthquake (--all-types keeps it)"},
        {counts.no_magnitude, " have no magnitude above 0", " has no magnitude above 0"},
        {counts.below_min_magnitude, " are below --min-mag", " is below --min-mag"},
        {counts.outside_time, " lie outside --from/--to", " lies outside --from/--to"},
        {counts.outside_region, " lie outside --region", " lies outside --region"},
        {counts.no_depth, " have no depth (--depth drops them)", " has no depth (--depth drops it)"},
        {counts.outside_depth, " lie outside --depth", " lies outside --depth"},
        {counts.bad, " are bad rows, skipped", " is a bad row, skipped"},
    };
    causes.erase(std::remove_if(causes.begin(), causes.end(), [](const Cause& c) { return c.count == 0; }),
                 causes.end());
    std::stable_sort(causes.begin(), causes.end(), [](const Cause& a, const Cause& b) { return a.count > b.count; });
    std::string text = "of the " + std::to_string(counts.read) + (counts.read == 1 ? " event" : " events") + " read, ";
    for (size_t i = 0; i < causes.size(); ++i) {
        if (i > 0) text += i + 1 == causes.size() ? " and " : ", ";
        text += std::to_string(causes[i].count) + (causes[i].count == 1 ? causes[i].one : causes[i].many);
    }
    return text;
}
