// Selection options shared by the importer's modes (--min-mag, --from, --to,
// --region), checked and turned into a Selection. Each check returns an empty string for a good value, otherwise
// what is wrong, as CLI11 validators do.
#pragma once

#include <optional>
#include <string>

#include "import/import_types.h"

std::optional<double> parse_finite_number(const std::string& text);

// "S,N,W,E" in degrees: south not north of north, latitudes within ±90,
// longitudes within ±180. West greater than east crosses the antimeridian.
std::optional<Region> parse_region(const std::string& text, std::string* error);

// Validators for --min-mag (a finite number), --from/--to (a date or a
// date-time) and --region.
std::string check_number_option(const std::string& text);
std::string check_time_option(const std::string& text);
std::string check_region_option(const std::string& text);

// The selection the options describe. Throws CLI::ValidationError when --from
// is not before --to (no event could be kept).
Selection make_selection(bool all_types, const std::optional<double>& min_magnitude, const std::string& from,
                         const std::string& to, const std::string& region, bool skip_bad);
