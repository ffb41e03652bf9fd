// The `outline` subcommand of sismap-import: a region outline for the viewer
// from a boundary file (GeoJSON, shapefile or GMT multisegment text), or the
// box around a catalogue's selected events.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include <CLI/CLI.hpp>

#include "tool/selection/selection_options.h"

// What the command line asked for.
struct OutlineRequest {
    std::string input;                       // boundary file ("-": standard input); empty with --box
    std::string output;                      // landscape file to write ("-": standard output)
    std::optional<std::string> where;        // --where FIELD=VALUE
    std::optional<long long> index;          // --index N
    std::optional<std::string> box;          // --box CATALOGUE
    double margin = 0;                       // --margin D
    std::optional<double> join;              // --join D
    LongitudeForm longitudes = LongitudeForm::signed_180;  // --longitudes 0,360 forces east_360
    SelectionFlags selection;                // --min-mag, --from, --to, --region of --box
};

#include "import/outline/outline_source.h"

// Reads a boundary file (GeoJSON, a shapefile's .shp or GMT multisegment
// text, told apart by their content) with the outline mode's readers; throws
// OutlineError naming the file when it is none of them or cannot be read.
// The recorder's coasts come through here too.
OutlineSource read_boundary(const std::string& path);

// Runs the outline mode; messages (notes on dropped islands and on an
// outline across 180 degrees, the result, or what failed) go to
// `messages`. Returns the exit status:
// 0 written, 1 bad input or I/O failure, 2 bad option value. On any failure
// an existing output is left as it was.
int run_outline(const OutlineRequest& request, std::ostream& messages);

// Registers `outline` on `app`; when it runs, its exit status goes to *status.
void add_outline_command(CLI::App& app, int* status);
