// The outline mode: find the input's kind, read it, choose the feature,
// reduce its largest outer ring to whole degrees and write it atomically.
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
#include "import/catalogue/catalogue_reader.h"
#include "import/layout_sniff.h"
#include "import/outline/outline_choice.h"
#include "import/outline/outline_geojson.h"
#include "import/outline/outline_shapefile.h"

namespace {

// A boundary file ("-": standard input) read in two steps: the head, to
// tell its kind, then, when it is GeoJSON, the rest. Failures name the path.
void open_boundary(InputSource& input, const std::string& path) {
    if (input.open(path, true)) return;
    if (input.failure() == InputSource::Failure::is_directory)
        throw OutlineError(path + ": cannot read: is a directory");
    throw OutlineError(path + ": cannot open: " + std::strerror(input.error_number()));
}

void check_boundary_read(const InputSource& input, const std::string& path) {
    if (input.failure() == InputSource::Failure::read_error)
        throw OutlineError(path + ": cannot read: " + std::strerror(input.error_number()));
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
    if (layout != InputLayout::geojson && layout != InputLayout::geojson_outline)
        throw OutlineError(path + ": neither GeoJSON nor a shapefile (.shp); an outline is made from one of those");

    bytes.clear();
    input.read_rest(bytes);
    check_boundary_read(input, path);
    OutlineSource source = read_geojson_outline(bytes, path);
    // A feed of point events is a catalogue, whichever way it begins.
    const bool any_polygon = std::any_of(source.features.begin(), source.features.end(),
                                         [](const OutlineFeature& f) { return f.polygon_count > 0; });
    const bool any_point = std::any_of(source.features.begin(), source.features.end(),
                                       [](const OutlineFeature& f) { return f.geometry == "Point"; });
    if (!any_polygon && any_point) throw OutlineError(catalogue_refusal(path, InputLayout::geojson));
    return source;
}

std::vector<GridVertex> boundary_outline(const OutlineRequest& request) {
    FeatureChoice choice;
    if (request.where) choice = parse_where(*request.where);
    choice.index = request.index;
    const OutlineSource source = read_boundary(request.input);
    const size_t chosen = choose_feature(source, choice);
    std::vector<GridVertex> outline = reduce_ring(source.features[chosen].largest_ring);
    orient_clockwise(outline);
    if (distinct_vertex_count(outline) < 3)
        throw OutlineError(source.path + ": feature " + std::to_string(chosen + 1) +
                           " rounds to fewer than 3 distinct whole-degree vertices (its largest ring is smaller "
                           "than a degree); no outline written");
    return outline;
}

std::vector<GridVertex> catalogue_box(const OutlineRequest& request) {
    std::vector<QuakeEvent> events;
    try {
        events = read_events_file(*request.box, CatalogueFormat::guess, Selection{}, nullptr);
    } catch (const ImportError& e) {
        throw OutlineError(e.what());
    }
    if (events.empty()) throw OutlineError(*request.box + ": no event is kept, so there is no box to draw");
    double south = 90, north = -90, west = 180, east = -180;
    for (const QuakeEvent& e : events) {
        south = std::min(south, e.latitude);
        north = std::max(north, e.latitude);
        west = std::min(west, e.longitude);
        east = std::max(east, e.longitude);
    }
    std::vector<GridVertex> box = box_outline(south, west, north, east, request.margin);
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

int run_outline(const OutlineRequest& request, std::ostream& messages) {
    try {
        if (!(request.margin >= 0) || !std::isfinite(request.margin))
            throw OutlineError("--margin must be a number of degrees, 0 or more", 2);
        if (request.index && *request.index < 1)
            throw OutlineError("--index " + std::to_string(*request.index) + ": features are numbered from 1", 2);
        if (request.output != "-") {
            for (const std::string& input : files_read(request))
                if (is_same_file(input, request.output))
                    throw OutlineError(request.output + ": is " + input +
                                       ", which is being read; write the outline elsewhere", 2);
        }

        const std::vector<GridVertex> outline = request.box ? catalogue_box(request) : boundary_outline(request);
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
        "Make the viewer's region outline from a boundary file (GeoJSON or ESRI shapefile), or the box around a "
        "catalogue's events");
    command->footer(
        "Usage:\n"
        "  sismap-import outline [--where FIELD=VALUE | --index N] INPUT OUTPUT\n"
        "  sismap-import outline --box CATALOGUE [--margin D] OUTPUT\n"
        "INPUT is GeoJSON (FeatureCollection, Feature, Polygon or MultiPolygon) or an ESRI shapefile (.shp with\n"
        "its .shx and .dbf), in longitude/latitude degrees. Of several features, choose one; without a choice\n"
        "they are listed. The outline is the largest outer ring, rounded to whole degrees. OUTPUT may be -.\n"
        "Exit status: 0 written, 1 bad input, 2 bad command line.");
    auto request = std::make_shared<OutlineRequest>();
    auto paths = std::make_shared<std::vector<std::string>>();
    CLI::Option* where = command->add_option("--where", request->where,
                                             "Choose the feature whose property or attribute FIELD is VALUE");
    CLI::Option* index = command->add_option("--index", request->index, "Choose the N-th feature of the listing (from 1)");
    CLI::Option* box = command->add_option("--box", request->box,
                                           "Write the whole-degree rectangle around the events of CATALOGUE instead");
    CLI::Option* margin = command->add_option("--margin", request->margin, "Widen the --box rectangle by D degrees");
    where->excludes(index);
    box->excludes(where)->excludes(index);
    margin->needs(box);
    command->add_option("paths", *paths, "INPUT OUTPUT, or only OUTPUT with --box")->required();
    command->callback([request, paths, status] {
        const size_t wanted = request->box ? 1 : 2;
        if (paths->size() != wanted)
            throw CLI::ValidationError(request->box ? "outline --box takes one file name, OUTPUT"
                                                    : "outline takes two file names, INPUT and OUTPUT");
        request->output = paths->back();
        if (!request->box) request->input = paths->front();
        *status = run_outline(*request, std::cerr);
    });
}
