// Checking the catalogue options.
#include "tool/selection/selection_options.h"

#include <vector>

#include "tool/text_basics.h"
#include "tool/selection/iso_time.h"

std::optional<double> parse_finite_number(const std::string& text) { return parse_decimal(text); }

std::optional<Region> parse_region(const std::string& text, std::string* error) {
    const std::optional<std::vector<double>> values = parse_number_list(text, 4);
    if (!values) {
        *error = "expected four numbers S,N,W,E in degrees, got \"" + text + "\"";
        return std::nullopt;
    }
    Region region{(*values)[0], (*values)[1], (*values)[2], (*values)[3]};
    if (region.south < -90.0 || region.north > 90.0 || region.north < -90.0 || region.south > 90.0) {
        *error = "latitudes must lie within -90 to 90";
    } else if (region.west < -180.0 || region.west > 180.0 || region.east < -180.0 || region.east > 180.0) {
        *error = "longitudes must lie within -180 to 180";
    } else if (region.south > region.north) {
        *error = "the south edge lies north of the north edge";
    } else {
        return region;
    }
    return std::nullopt;
}

std::optional<DepthRange> parse_depth_range(const std::string& text, std::string* error) {
    const std::optional<std::vector<double>> values = parse_number_list(text, 2);
    if (!values) {
        *error = "expected two numbers MIN,MAX in km, got \"" + text + "\"";
        return std::nullopt;
    }
    if ((*values)[0] > (*values)[1]) {
        *error = "the least depth is greater than the greatest";
        return std::nullopt;
    }
    return DepthRange{(*values)[0], (*values)[1]};
}

std::string check_depth_option(const std::string& text) {
    std::string error;
    parse_depth_range(text, &error);
    return error;
}

std::string check_number_option(const std::string& text) {
    return parse_finite_number(text) ? std::string() : "not a finite number: " + text;
}

std::string check_time_option(const std::string& text) {
    if (parse_iso_time(text, true)) return std::string();
    return "not a UTC date (YYYY-MM-DD) or date-time (YYYY-MM-DDThh:mm:ss): \"" + text + "\"";
}

std::string check_region_option(const std::string& text) {
    std::string error;
    parse_region(text, &error);
    return error;
}

Selection make_selection(bool all_types, const std::optional<double>& min_magnitude, const std::string& from,
                         const std::string& to, const std::string& region, bool skip_bad) {
    Selection selection;
    selection.all_types = all_types;
    selection.skip_bad = skip_bad;
    if (min_magnitude) selection.min_magnitude = *min_magnitude;
    if (!from.empty()) selection.from_us = parse_iso_time(from, true);
    if (!to.empty()) selection.to_us = parse_iso_time(to, true);
    if (selection.from_us && selection.to_us && *selection.from_us >= *selection.to_us)
        throw CLI::ValidationError("--from", "must be earlier than --to, or no event can be kept");
    if (!region.empty()) {
        std::string error;
        selection.region = parse_region(region, &error);
    }
    return selection;
}

std::vector<CLI::Option*> add_selection_options(CLI::App& command, SelectionFlags& flags, SelectionWording wording) {
    const bool fetch = wording == SelectionWording::fetch;
    const std::string subject = fetch ? "Events" : "Keep events";
    return {
        command.add_option("--min-mag", flags.min_magnitude, subject + " of at least this magnitude")
            ->check(CLI::Validator(check_number_option, "NUMBER")),
        command.add_option("--from", flags.from, subject + " at or after this UTC date or date-time")
            ->check(CLI::Validator(check_time_option, "TIME")),
        command
            .add_option("--to", flags.to,
                        subject + " before this UTC date or date-time" + (fetch ? "; default now" : ""))
            ->check(CLI::Validator(check_time_option, "TIME")),
        command
            .add_option("--region", flags.region,
                        subject + " inside S,N,W,E (degrees, edges included; W > E crosses the antimeridian)")
            ->check(CLI::Validator(check_region_option, "S,N,W,E")),
        command
            .add_option("--depth", flags.depth,
                        subject + " from MIN to MAX km deep (ends included); events without a depth are dropped")
            ->check(CLI::Validator(check_depth_option, "MIN,MAX")),
    };
}

Selection make_selection(bool all_types, const SelectionFlags& flags, bool skip_bad) {
    Selection selection = make_selection(all_types, flags.min_magnitude, flags.from, flags.to, flags.region, skip_bad);
    if (!flags.depth.empty()) {
        std::string error;
        selection.depth = parse_depth_range(flags.depth, &error);
    }
    return selection;
}

std::optional<LongitudeForm> parse_longitude_form(const std::string& text) {
    if (text == "-180,180") return LongitudeForm::signed_180;
    if (text == "0,360") return LongitudeForm::east_360;
    return std::nullopt;
}

CLI::Option* add_longitudes_option(CLI::App& command, std::string& form, const std::string& help) {
    return command.add_option("--longitudes", form, help)
        ->check(CLI::Validator(
            [](std::string& text) {
                return parse_longitude_form(text) ? std::string()
                                                  : "expected -180,180 or 0,360, got \"" + text + "\"";
            },
            "-180,180|0,360"));
}
