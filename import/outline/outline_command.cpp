// The outline mode: find the input's kind, read it, choose the feature,
// keep its largest outer ring or join its rings, put its longitudes in the
// form they are written in, reduce it to whole degrees and write it
// atomically.
#include "import/outline/outline_command.h"


#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <iostream>
#include <vector>

#include "tool/input_source.h"
#include "tool/output_file.h"
#include "tool/text_basics.h"
#include "data/catalogue_reader.h"
#include "import/catalogue_output.h"
#include "import/downloads/download_reader.h"
#include "import/event_sink.h"
#include "import/layout_sniff.h"
#include "tool/selection/iso_time.h"
#include "import/outline/outline_choice.h"
#include "import/outline/outline_geojson.h"
#include "import/outline/outline_gmt.h"
#include "import/outline/outline_shapefile.h"

namespace {

// A boundary file ("-": standard input) read in two steps: the head, to
// tell its kind, then, when it is GeoJSON, the rest. Failures name the path.
void open_boundary(InputSource& input, const std::string& path) {
    if (!input.open(path, true)) throw OutlineError(input.failure_text(path));
}

void check_boundary_read(const InputSource& input, const std::string& path) {
    if (input.failure() == InputSource::Failure::read_error) throw OutlineError(input.failure_text(path));
}

// Every file the request reads, so that the output is never one of them.
std::vector<std::string> files_read(const OutlineRequest& request) {
    if (request.box) return {*request.box};
    std::vector<std::string> files = {request.input};
    if (has_extension(request.input, ".shp") || has_extension(request.input, ".shx")) {
        const std::string base = request.input.substr(0, request.input.size() - 4);
        for (const char* extension : {".shp", ".shx", ".dbf", ".prj", ".SHP", ".SHX", ".DBF", ".PRJ"})
            files.push_back(base + extension);
    }
    return files;
}

std::string catalogue_refusal(const std::string& path, InputLayout layout) {
    if (layout == InputLayout::viewer)
        return path + ": is an earthquake catalogue already in the viewer's layout, not a boundary; give it to sismap "
                      "as its catalogue";
    return path + ": is an earthquake catalogue (" + layout_name(layout) +
           "), not a boundary; use: sismap-import catalogue " + path + " OUTPUT";
}

// A share in whole percent, rounded down: what was dropped never reads as 0%.
std::string percent(double share) {
    return std::to_string(static_cast<int>(std::floor(100 * std::min(1.0, std::max(0.0, share))))) + "%";
}

std::string degrees(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// The outer rings the request is about, the largest first, and the area
// they enclose together (ring_area units).
struct ChosenRings {
    std::vector<GeoRing> rings;
    double total_area = 0;
    std::string what;  // "feature 3", "segment 2" or "the file's 463 segments", for messages
};

ChosenRings choose_rings(const OutlineRequest& request, OutlineSource& source) {
    ChosenRings chosen;
    const auto take = [&chosen, &source](OutlineFeature& feature) {
        if (!feature.unusable.empty()) throw OutlineError(source.path + ": " + chosen.what + ": " + feature.unusable);
        chosen.rings.push_back(std::move(feature.largest_ring));
        for (GeoRing& ring : feature.other_rings) chosen.rings.push_back(std::move(ring));
        chosen.total_area += feature.total_area;
    };
    if (source.format == "GMT" && !request.index && !request.where) {
        // Without a choice, every segment is one ring of the boundary: a
        // country's islands, as `gmt coast -E` writes them.
        size_t largest = source.features.size();
        for (size_t i = 0; i < source.features.size(); ++i)
            if (!source.features[i].largest_ring.empty() &&
                (largest == source.features.size() ||
                 source.features[i].largest_area > source.features[largest].largest_area))
                largest = i;
        if (largest == source.features.size())
            throw OutlineError(source.path + ": holds no segment of three or more points, so no outline");
        chosen.what = "segment " + std::to_string(largest + 1);
        take(source.features[largest]);
        for (size_t i = 0; i < source.features.size(); ++i) {
            chosen.what = "segment " + std::to_string(i + 1);
            if (i != largest && !source.features[i].largest_ring.empty()) take(source.features[i]);
        }
        chosen.what = "its " + std::to_string(chosen.rings.size()) + " segments";
        return chosen;
    }
    FeatureChoice choice;
    if (request.where) choice = parse_where(*request.where);
    choice.index = request.index;
    const size_t position = choose_feature(source, choice);
    chosen.what = (source.format == "GMT" ? "segment " : "feature ") + std::to_string(position + 1);
    take(source.features[position]);
    return chosen;
}

std::vector<GridVertex> boundary_outline(const OutlineRequest& request, std::ostream& messages) {
    OutlineSource source = read_boundary(request.input);
    ChosenRings chosen = choose_rings(request, source);
    const size_t count = chosen.rings.size();

    GeoRing ring;
    if (request.join) {
        place_rings_together(chosen.rings);
        JoinedOutline joined;
        try {
            joined = join_rings(chosen.rings, *request.join);
        } catch (const std::runtime_error& e) {
            throw OutlineError(source.path + ": " + chosen.what + ": " + e.what());
        }
        ring = std::move(joined.ring);
        if (joined.pieces > 1)
            messages << "sismap-import: --join " << *request.join << " left " << joined.pieces << " pieces of the "
                     << count << " rings; kept the largest (" << percent(joined.kept_share)
                     << " of their area); a larger --join joins more\n";
    } else {
        JoinedOutline mended;
        try {
            mended = mended_ring(chosen.rings.front());
        } catch (const std::runtime_error& e) {
            throw OutlineError(source.path + ": the largest ring of " + chosen.what + ": " + e.what() +
                               "; no outline written");
        }
        ring = std::move(mended.ring);
        if (mended.pieces > 1)
            messages << "sismap-import: the largest ring of " << chosen.what << " crosses itself; mended, it falls "
                     << "into " << mended.pieces << " pieces, of which the largest (" << percent(mended.kept_share)
                     << " of their area) is kept\n";
        if (count > 1) {
            const double share = chosen.total_area > 0 ? ring_area(ring) / chosen.total_area : 1.0;
            messages << "sismap-import: kept the largest of " << count << " rings (" << percent(share)
                     << " of the area) and dropped the other " << count - 1
                     << "; --join D joins rings lying within D degrees of each other into one outline\n";
        }
    }

    const Placement placement = place_outline(ring);
    const bool crosses = placement == Placement::across_180;
    const LongitudeRange range = longitude_range(ring);
    if (placement == Placement::too_wide)
        throw OutlineError(source.path + ": the outline runs from " + degrees(range.west) + " to " +
                           degrees(range.east) +
                           " degrees east, across both 0 and 180; written in -180..180 it would be cut at 180, "
                           "in 0..360 at 0, so no outline is written");
    if (request.longitudes == LongitudeForm::east_360 && range.west < 0) {
        if (range.east > 0)
            throw OutlineError(source.path + ": the outline runs from " + degrees(range.west) + " to " +
                               degrees(range.east) +
                               " degrees east, across 0; in --longitudes 0,360 it would be cut at 0, so import "
                               "it (and its catalogue) without --longitudes 0,360");
        shift_longitudes(ring, 360);
    } else if (crosses && request.longitudes != LongitudeForm::east_360) {
        messages << "sismap-import: the outline crosses 180 degrees (it runs from " << degrees(range.west) << " to "
                 << degrees(range.east)
                 << " east), so it is written in longitudes 0..360, without a seam; import its catalogue with "
                    "--longitudes 0,360 so that the events lie on it\n";
    }

    std::vector<GridVertex> outline = reduce_ring(ring);
    orient_clockwise(outline);
    if (distinct_vertex_count(outline) >= 3 && grid_area_is_zero(outline))
        throw OutlineError(source.path + ": " +
                           (request.join ? chosen.what + " joined" : "the largest ring of " + chosen.what) +
                           " rounds to whole-degree vertices that lie on one line, with no area between them; "
                           "no outline written");
    if (distinct_vertex_count(outline) < 3)
        throw OutlineError(source.path + ": " +
                           (request.join ? chosen.what + " joined" : "the largest ring of " + chosen.what) +
                           " rounds to fewer than 3 distinct whole-degree vertices (it is smaller than a degree); "
                           "no outline written" +
                           (count > 1 && !request.join ? "; --join D takes its islands together" : ""));
    return outline;
}

// Whether `path` holds a catalogue in the viewer's own layout, such as the
// catalogue mode writes.
bool is_viewer_catalogue(const std::string& path) {
    InputSource input;
    if (path == "-" || !input.open(path, true)) return false;  // the catalogue reader tells what is wrong
    return sniff_layout(input.head(kSniffBytes)) == InputLayout::viewer;
}

// The events of a catalogue in the viewer's layout, read as the viewer
// reads it and selected by the importer's rules.
std::vector<QuakeEvent> read_viewer_catalogue(const std::string& path, const Selection& selection,
                                              ImportCounts* counts) {
    InputSource input;
    if (!input.open(path, false)) throw ImportError("cannot open " + path + ": " + std::strerror(input.error_number()));
    std::vector<QuakeRecord> records;
    read_catalogue_file(input, records);
    if (input.failure() == InputSource::Failure::read_error)
        throw ImportError("cannot read " + path + ": " + std::strerror(input.error_number()));
    *counts = ImportCounts();
    counts->layout = InputLayout::viewer;
    std::vector<QuakeEvent> events;
    EventSink sink(selection, *counts, events);
    for (const QuakeRecord& record : records) {
        char when[48];
        std::snprintf(when, sizeof when, "%04d-%02d-%02dT%02d:%02d:%02d.%02d", record.date.year, record.date.month,
                      record.date.day, record.time.hour, record.time.minute, record.time.second,
                      record.time.hundredths);
        sink.count_read();
        RawEvent event;
        const std::optional<int64_t> time_us = parse_iso_time(when);
        if (!time_us) {
            sink.bad(path, "an entry's date " + std::string(when) + " is not a date");
            continue;
        }
        event.time_us = *time_us;
        event.latitude = record.latitude;
        // A catalogue written with --longitudes 0,360 comes back to the
        // -180..180 the selection reads, and goes out again as asked.
        event.longitude = record.longitude > 180 ? record.longitude - 360.0 : record.longitude;
        event.magnitude = record.magnitude;
        if (const char* problem = sink.offer(event)) sink.bad(path, problem);
    }
    return events;
}

std::vector<GridVertex> catalogue_box(const OutlineRequest& request, std::ostream& messages) {
    Selection selection;
    try {
        selection = make_selection(false, request.selection, false);
    } catch (const CLI::ValidationError& e) {
        throw OutlineError(e.what(), 2);
    }
    selection.longitudes = request.longitudes;
    std::vector<QuakeEvent> events;
    ImportCounts counts;
    try {
        events = is_viewer_catalogue(*request.box) ? read_viewer_catalogue(*request.box, selection, &counts)
                                                   : read_events_file(*request.box, CatalogueFormat::guess, selection,
                                                                      &counts);
    } catch (const ImportError& e) {
        throw OutlineError(e.what());
    }
    if (events.empty())
        throw OutlineError(*request.box + ": no event is kept, so there is no box to draw: " +
                           no_event_kept_reason(counts));
    double south = 90, north = -90;
    std::vector<double> longitudes;
    longitudes.reserve(events.size());
    for (const QuakeEvent& e : events) {
        south = std::min(south, e.latitude);
        north = std::max(north, e.latitude);
        longitudes.push_back(e.longitude);
    }
    // The narrowest span of longitudes holding every event leaves out the
    // widest gap between neighbours: the one across 180 degrees, or one
    // across 0, whereupon the box crosses 180 and is written in 0..360.
    std::sort(longitudes.begin(), longitudes.end());
    double west = longitudes.front(), east = longitudes.back();
    bool crosses = false;
    if (request.longitudes != LongitudeForm::east_360) {
        double widest = west + 360 - east;  // the gap across 180
        for (size_t i = 1; i < longitudes.size(); ++i) {
            // Only a gap across 0 leaves a box that 0..360 holds.
            if (longitudes[i - 1] < 0 && longitudes[i] >= 0 && longitudes[i] - longitudes[i - 1] > widest) {
                widest = longitudes[i] - longitudes[i - 1];
                west = longitudes[i];
                east = longitudes[i - 1] + 360;
                crosses = true;
            }
        }
    }
    const bool east_360 = crosses || request.longitudes == LongitudeForm::east_360;
    std::vector<GridVertex> box = box_outline(south, west, north, east, request.margin, east_360 ? 360 : 180);
    if (crosses)
        messages << "sismap-import: the events' box crosses 180 degrees (it runs from " << degrees(west) << " to "
                 << degrees(east)
                 << " east), so it is written in longitudes 0..360, without a seam; import its catalogue with "
                    "--longitudes 0,360 so that the events lie on it\n";
    if (distinct_vertex_count(box) < 4)
        throw OutlineError(*request.box + ": the events lie on a whole-degree line, so their box has no area; "
                           "widen it with --margin 1");
    return box;
}

void write_outline(const std::string& path, const std::vector<GridVertex>& outline) {
    OutputFile output;
    std::string error;
    if (!output.open(path, &error)) throw OutlineError(error);
    output.write(format_outline(outline));
    if (!output.commit(&error)) throw OutlineError(error);
}

}  // namespace

OutlineSource read_boundary(const std::string& path) {
    InputSource input;
    open_boundary(input, path);
    std::string bytes(input.head(kSniffBytes));
    check_boundary_read(input, path);
    // Two inputs users reach for that are neither kind: boundaries are
    // often downloaded zipped, and an outline may already be the viewer's.
    if (bytes.compare(0, 4, "PK\x03\x04") == 0)
        throw OutlineError(path + ": is a zip archive; unzip it and give the .shp or .geojson inside");
    const std::string_view head = without_byte_order_mark(bytes);
    if (head.substr(0, 8) == "lat,lon\n" || head.substr(0, 9) == "lat,lon\r\n")
        throw OutlineError(path + ": is already an outline in the viewer's layout; nothing to convert");
    if (path != "-" && has_extension(path, ".dbf"))
        throw OutlineError(path + ": is a shapefile's attribute table; give its .shp, with the .shx and .dbf beside "
                                  "it");
    const InputLayout layout = sniff_layout(bytes);
    if (layout == InputLayout::shapefile || (path != "-" && (has_extension(path, ".shp") || has_extension(path, ".shx")))) {
        if (path == "-")
            throw OutlineError("-: a shapefile cannot come from standard input; give the path of its .shp, with "
                               "the .shx and .dbf beside it");
        std::string shp = path;
        if (has_extension(path, ".shx")) shp = path.substr(0, path.size() - 4) + ".shp";
        return read_shapefile_outline(shp);
    }
    if (layout == InputLayout::csv || layout == InputLayout::fdsn_text || layout == InputLayout::quakeml ||
        layout == InputLayout::viewer)
        throw OutlineError(catalogue_refusal(path, layout));
    if (layout != InputLayout::geojson && layout != InputLayout::geojson_outline &&
        layout != InputLayout::gmt_outline)
        throw OutlineError(path + ": neither GeoJSON, a shapefile (.shp) nor GMT multisegment text; an outline is "
                                  "made from one of those");

    bytes.clear();
    input.read_rest(bytes);
    check_boundary_read(input, path);
    if (layout == InputLayout::gmt_outline) return read_gmt_outline(bytes, path);
    OutlineSource source = read_geojson_outline(bytes, path);
    // A feed of point events is a catalogue, whichever way it begins.
    const bool any_polygon = std::any_of(source.features.begin(), source.features.end(),
                                         [](const OutlineFeature& f) { return f.polygon_count > 0; });
    const bool any_point = std::any_of(source.features.begin(), source.features.end(),
                                       [](const OutlineFeature& f) { return f.geometry == "Point"; });
    if (!any_polygon && any_point) throw OutlineError(catalogue_refusal(path, InputLayout::geojson));
    return source;
}


int run_outline(const OutlineRequest& request, std::ostream& messages) {
    try {
        if (!(request.margin >= 0) || !std::isfinite(request.margin))
            throw OutlineError("--margin must be a number of degrees, 0 or more", 2);
        if (request.join && !(*request.join > 0 && *request.join <= 360))
            throw OutlineError("--join must be a number of degrees above 0 (and at most 360)", 2);
        if (request.index && *request.index < 1)
            throw OutlineError("--index " + std::to_string(*request.index) + ": features are numbered from 1", 2);
        if (request.output != "-") {
            for (const std::string& input : files_read(request))
                if (is_same_file(input, request.output))
                    throw OutlineError(request.output + ": is " + input +
                                       ", which is being read; write the outline elsewhere", 2);
        }

        const std::vector<GridVertex> outline = request.box ? catalogue_box(request, messages) : boundary_outline(request, messages);
        write_outline(request.output, outline);
        messages << "sismap-import: outline of " << outline.size() << " vertices written to " << request.output << "\n";
        return 0;
    } catch (const OutlineError& e) {
        messages << "sismap-import: " << e.what() << (e.what()[std::strlen(e.what()) - 1] == '\n' ? "" : "\n");
        return e.status();
    }
}

void add_outline_command(CLI::App& app, int* status) {
    CLI::App* command = app.add_subcommand(
        "outline",
        "Make the viewer's region outline from a boundary file (GeoJSON, ESRI shapefile or GMT multisegment text), "
        "or the box around a catalogue's events");
    command->footer(
        "Usage:\n"
        "  sismap-import outline [--where FIELD=VALUE | --index N] [--join D] [--longitudes 0,360] INPUT OUTPUT\n"
        "  sismap-import outline --box CATALOGUE [--margin D] [--region S,N,W,E] [--min-mag M] [--from TIME]\n"
        "                        [--to TIME] [--longitudes 0,360] OUTPUT\n"
        "INPUT is GeoJSON (FeatureCollection, Feature, Polygon or MultiPolygon), an ESRI shapefile (.shp with\n"
        "its .shx and .dbf) or GMT multisegment text (gmt coast -EJP -M > japan.txt), in longitude/latitude\n"
        "degrees (-180..180 or 0..360). Of several features, choose one; without a choice they are listed.\n"
        "Each segment of GMT text is a ring of one boundary; --index N takes segment N alone. The outline is\n"
        "the largest outer ring, or with --join D the rings within D degrees of each other joined (islands),\n"
        "rounded to whole degrees. An outline across 180 degrees is written in 0..360; import its catalogue\n"
        "with --longitudes 0,360. OUTPUT may be -.\n"
        "Exit status: 0 written, 1 bad input, 2 bad command line.");
    auto request = std::make_shared<OutlineRequest>();
    auto paths = std::make_shared<std::vector<std::string>>();
    auto longitudes = std::make_shared<std::string>("-180,180");
    CLI::Option* where = command->add_option("--where", request->where,
                                             "Choose the feature whose property or attribute FIELD is VALUE");
    CLI::Option* index = command->add_option(
        "--index", request->index, "Choose the N-th feature of the listing, or segment of GMT text (from 1)");
    CLI::Option* join = command->add_option(
        "--join", request->join,
        "Join the rings lying within D degrees of each other (a country of islands) instead of keeping the largest");
    CLI::Option* box = command->add_option("--box", request->box,
                                           "Write the whole-degree rectangle around the events of CATALOGUE instead");
    CLI::Option* margin = command->add_option("--margin", request->margin, "Widen the --box rectangle by D degrees");
    add_longitudes_option(*command, *longitudes,
                          "0,360 writes the outline (or the --box) in longitudes 0..360, to match a catalogue "
                          "imported so; an outline across 180 degrees is written so anyway");
    for (CLI::Option* option : add_selection_options(*command, request->selection)) option->needs(box);
    where->excludes(index);
    box->excludes(where)->excludes(index)->excludes(join);
    margin->needs(box);
    command->add_option("paths", *paths, "INPUT OUTPUT, or only OUTPUT with --box")->required();
    command->callback([request, paths, longitudes, status] {
        const size_t wanted = request->box ? 1 : 2;
        if (paths->size() != wanted)
            throw CLI::ValidationError(request->box ? "outline --box takes one file name, OUTPUT"
                                                    : "outline takes two file names, INPUT and OUTPUT");
        request->output = paths->back();
        if (!request->box) request->input = paths->front();
        request->longitudes = *parse_longitude_form(*longitudes);
        make_selection(false, request->selection, false);  // --from not before --to is a command-line error
        *status = run_outline(*request, std::cerr);
    });
}
