// The recorder's command line: what to read, where to write, which frames
// and how the view is set. Parsing and checking only; nothing is opened.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calendar/calendar_date.h"
#include "record/map_style.h"
#include "record/section_profile.h"
#include "tool/selection/selection.h"
#include "tool/command_line.h"

// What OUTPUT's form asks for.
enum class OutputKind {
    Gif,        // ends in .gif: an animated GIF
    Mp4,        // ends in .mp4: an H.264 video
    Still,      // ends in .png: one PNG of the start-up view
    PngFolder,  // ends in '/' or names an existing directory: every frame as PNG
    Html,       // ends in .html: a web page that plays the frames
};

struct RecordOptions {
    std::string landscape_path;
    std::string quake_path;
    std::string output_path;
    OutputKind kind = OutputKind::Gif;

    int min_magnitude = 0;  // as the threshold keys set it: 0 or 3..7
    bool zoom_given = false;
    float zoom = 1.0f;
    float pan_x = 0.0f;  // added to the start-up pan
    float pan_y = 0.0f;
    int every = 1;
    bool from_given = false;
    CalendarDate from;  // compared with the window's first date (at 00:00 UTC in real time)
    int fps = 20;
    bool quiet = false;
    bool overwrite = false;  // a frames folder's old frames are removed first
    bool fit = false;  // frame the outline and the legend whole

    // Map mode (any of --fit, --coast, --size, --colour): the recorder's own
    // framing, marks in pixels, keys in a band below the map.
    bool map_mode = false;
    std::vector<std::string> coasts;  // --coast, in order
    int width = 650;                  // --size
    int height = 650;
    Colouring colouring = Colouring::Magnitude;
    std::vector<double> depth_bounds = {70.0, 300.0};  // --depth-classes, km

    // --depth: only events from MIN to MAX km deep are drawn (and counted).
    std::optional<DepthRange> depth;

    // --section (map mode): a depth section along the great circle from
    // section_a to section_b, of events at most section_width_km across it,
    // down to section_depth_max km (empty: from the swath's deepest event).
    bool section = false;
    GeoPoint section_a;
    GeoPoint section_b;
    double section_width_km = 50.0;
    std::optional<double> section_depth_max;

    // Real time (--window or --step given): frames step through UTC instants
    // instead of the viewer's days. Both in seconds.
    bool real_time = false;
    int64_t window_seconds = 30 * 86400;
    int64_t step_seconds = 86400;
};

// Outcome of parsing: run with `options`, or stop with `exit_code` after
// `text` (help and version on standard output, errors on standard error).
struct ParseResult {
    bool run = false;
    int exit_code = 0;
    std::string text;
    bool text_is_error = false;
    RecordOptions options;
};

// Parses argv (argv[0] is the program's name). Everything that can be judged
// from the text alone is checked here, and whether OUTPUT names a directory.
ParseResult parse_record_options(int argc, const char* const* argv);

// The kind OUTPUT's form asks for, or false with a message when none fits.
// `is_directory` tells whether the path names an existing directory.
bool output_kind_of(const std::string& path, bool is_directory, OutputKind* kind, std::string* error);
