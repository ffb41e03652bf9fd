// Selection options shared by the importer's modes and the statistics (--min-mag, --from, --to,
// --region, --depth, and --longitudes for how kept events are written), checked and
// turned into a Selection, and the word on an import that kept nothing.
// Each check returns an empty string for a good value, otherwise what is
// wrong, as CLI11 validators do.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tool/selection/selection.h"

std::optional<double> parse_finite_number(const std::string& text);

// "S,N,W,E" in degrees: south not north of north, latitudes within ±90,
// longitudes within ±180. West greater than east crosses the antimeridian.
std::optional<Region> parse_region(const std::string& text, std::string* error);

// "MIN,MAX" in km: finite numbers, MIN at most MAX (depths above sea level
// are negative).
std::optional<DepthRange> parse_depth_range(const std::string& text, std::string* error);

// Validators for --min-mag (a finite number), --from/--to (a date or a
// date-time) and --region.
std::string check_number_option(const std::string& text);
std::string check_time_option(const std::string& text);
std::string check_region_option(const std::string& text);
std::string check_depth_option(const std::string& text);

// The selection the options describe. Throws CLI::ValidationError when --from
// is not before --to (no event could be kept).
Selection make_selection(bool all_types, const std::optional<double>& min_magnitude, const std::string& from,
                         const std::string& to, const std::string& region, bool skip_bad);

// The selection options as typed, for make_selection.
struct SelectionFlags {
    std::optional<double> min_magnitude;
    std::string from;
    std::string to;
    std::string region;
    std::string depth;
};

// How the options' help words the selection: events kept from what is read,
// or events asked of an event service.
enum class SelectionWording { keep, fetch };

// Registers --min-mag, --from, --to, --region and --depth on `command`, each checked
// as it is parsed; returns them in that order, e.g. for needs(), required()
// or excludes().
std::vector<CLI::Option*> add_selection_options(CLI::App& command, SelectionFlags& flags,
                                                SelectionWording wording = SelectionWording::keep);

// The same from the flags as typed.
Selection make_selection(bool all_types, const SelectionFlags& flags, bool skip_bad);

// --longitudes FORM: "-180,180" (as read, the default) or "0,360".
std::optional<LongitudeForm> parse_longitude_form(const std::string& text);

// Registers --longitudes on `command`, checked as it is parsed; `help`
// says what it does in that mode.
CLI::Option* add_longitudes_option(CLI::App& command, std::string& form, const std::string& help);
