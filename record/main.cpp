// sismap-record: draws the viewer's playback offscreen, frame by frame, and
// writes it as an animated GIF, an MP4 video, a PNG still or PNG frames.
#include <errno.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/program_constants.h"
#include "app/startup.h"
#include "app/viewer_state.h"
#include "record/coast.h"
#include "record/map_view.h"
#include "record/frame_plan.h"
#include "record/html_page.h"
#include "record/offscreen_view.h"
#include "record/png_writer.h"
#include "record/private_display.h"
#include "record/real_time.h"
#include "record/record_options.h"
#include "record/recording.h"
#include "record/section_panel.h"
#include "view/scene.h"

namespace {

constexpr double kStartTimeout = 20.0;  // seconds for the X server, and again for the window

// The folder an output file will be written into must exist before any
// work is done; a frame folder may be missing (the recorder makes it) but
// not its parent, and must not hold another recording's frames unless
// --overwrite is given.
bool check_output_place(const RecordOptions& options, std::string* error) {
    const std::string& path = options.output_path;
    struct stat info;
    // A path that names a file, or runs through one, is not a folder: that
    // is not the same fault as a folder that does not exist.
    const auto not_a_folder = [&info](const std::string& folder) {
        const int status = ::stat(folder.c_str(), &info);
        return (status == 0 && !S_ISDIR(info.st_mode)) || (status != 0 && errno == ENOTDIR);
    };
    if (options.kind == OutputKind::PngFolder) {
        if (not_a_folder(path)) {
            *error = "'" + path + "' is not a folder; the frames go into a folder";
            return false;
        }
        return check_frame_folder(path, options.overwrite, error);
    }
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return true;
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    if (not_a_folder(folder)) {
        *error = "cannot write '" + path + "': '" + folder + "' is not a folder";
        return false;
    }
    if (::stat(folder.c_str(), &info) != 0) {
        *error = "cannot write '" + path + "': the folder '" + folder + "' does not exist";
        return false;
    }
    return true;
}

// A real-time legend that would run past the frame's right edge writes of
// the window's end only what differs from its start, and if that is still
// too long it moves left until it ends a few pixels inside the frame (the
// dates' place right of the magnitude text leaves room for it).
void keep_legend_in_frame(RealTimeFrames& real_time, FrameSequence& sequence) {
    constexpr int kEdgeRoom = 4;
    if (legend_dates_right_pixel(sequence.legend()) <= kWindowSize - kEdgeRoom) return;
    real_time.shorten_end(true);
    sequence.go_to(0);
    const int right = legend_dates_right_pixel(sequence.legend());
    if (right > kWindowSize - kEdgeRoom) set_legend_dates_shift(kWindowSize - kEdgeRoom - right);
}

// What --depth left out, for the summary.
struct DepthDropped {
    uint64_t without_depth = 0;
    uint64_t outside = 0;
};

// Keeps the entries within `range`, and their depths with them.
DepthDropped select_by_depth(const DepthRange& range, std::vector<QuakeRecord>* catalogue,
                             std::vector<float>* depths) {
    DepthDropped dropped;
    size_t kept = 0;
    for (size_t i = 0; i < catalogue->size(); ++i) {
        const float depth = (*depths)[i];
        if (std::isnan(depth)) {
            ++dropped.without_depth;
        } else if (!range.contains(depth)) {
            ++dropped.outside;
        } else {
            (*catalogue)[kept] = (*catalogue)[i];
            (*depths)[kept] = depth;
            ++kept;
        }
    }
    catalogue->resize(kept);
    depths->resize(kept);
    return dropped;
}

std::string count_text(uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

int record_still(const RecordOptions& options, const DrawFrame& draw) {
    FrameImage frame;
    draw(nullptr, &frame);
    std::string error;
    uint64_t size = 0;
    if (!write_png(frame, options.output_path, &error, &size)) return report_failure(error);
    if (!options.quiet)
        std::fprintf(stderr, "sismap-record: start-up view (%s - %s), %s, written to %s\n",
                     viewer.window_first_date.text(), viewer.window_last_date.text(), size_text(size).c_str(),
                     options.output_path.c_str());
    return kExitDone;
}

// The page draws the frames itself, with the camera and the legend's
// glyph widths the window has.
int record_page(const RecordOptions& options, const FramePlan& plan, FrameSequence& sequence,
                const RealTimeFrames& real_time) {
    const InstantKeys keys{&real_time.instants(), real_time.t0(), real_time.bound_grain()};
    const InstantKeys* instants = options.real_time ? &keys : nullptr;
    PageView view;
    if (options.map_mode) {
        // Map mode's page draws from the map's own parts.
        view.width = options.width;
        view.height = options.height;
        const MapPageParts parts = map_page_parts();
        return record_html_page(options, plan, sequence, instants, view, &parts, &map_setup());
    }
    view.width = kWindowSize;
    view.height = kWindowSize;
    double scale[4];
    plane_to_frame_pixels(scale);
    view.camera = PlaneToFrame{scale[0], scale[1], scale[2], scale[3]};
    for (char c = ' '; c <= '~'; ++c) view.glyph_advances.push_back(legend_text_pixels(std::string(1, c).c_str()));
    return record_html_page(options, plan, sequence, instants, view);
}

}  // namespace

int main(int argc, char** argv) {
    set_program_name("sismap-record");
    const ParseResult parsed = parse_record_options(argc, argv);
    if (!parsed.run) {
        std::fputs(parsed.text.c_str(), parsed.text_is_error ? stderr : stdout);
        return parsed.exit_code;
    }
    const RecordOptions& options = parsed.options;
    std::string error;
    if (!check_output_place(options, &error)) return report_failure(error);

    // A download given as it came would record nonsense: refuse it, naming
    // the command that converts it.
    LoadSettings load;
    load.quiet = options.quiet;
    std::string layout_hint;
    load.layout_hint = &layout_hint;
    std::vector<float> depths;
    DepthDropped dropped;
    const bool needs_depths =
        options.depth || options.section || (options.map_mode && options.colouring == Colouring::Depth);
    if (needs_depths) load.depths = &depths;
    if (options.depth) {
        load.select = [&](std::vector<QuakeRecord>& catalogue) {
            dropped = select_by_depth(*options.depth, &catalogue, &depths);
            if (catalogue.empty()) {
                report_failure("no event of '" + options.quake_path + "' is drawn: of its " +
                               count_text(dropped.without_depth + dropped.outside, "event", "events") + ", " +
                               std::to_string(dropped.outside) + " lie outside --depth and " +
                               std::to_string(dropped.without_depth) + " have no depth");
                return false;
            }
            return true;
        };
    }
    const bool loaded = load_viewer_state(options.landscape_path.c_str(), options.quake_path.c_str(), load);
    if (!layout_hint.empty()) return report_failure(layout_hint);
    if (!loaded) return kExitFailed;
    if (options.depth && !options.quiet)
        std::fprintf(stderr, "sismap-record: --depth left out %s and %s\n",
                     count_text(dropped.without_depth, "event without a depth", "events without a depth").c_str(),
                     count_text(dropped.outside, "event outside its range", "events outside its range").c_str());
    MapSetup map;
    map.start_pan_x = viewer.pan_x;
    map.start_pan_y = viewer.pan_y;
    apply_view_options(options);
    if (options.map_mode) {
        map.width = options.width;
        map.height = options.height;
        map.colouring = options.colouring;
        map.depth_bounds = options.depth_bounds;
        if (!read_coasts(options.coasts, viewer.min_x, viewer.max_x, &map.coasts, &error)) return report_failure(error);
    }

    FramePlan plan;
    RealTimeFrames real_time;
    ViewerPlayback playback;
    RealTimePlayback real_time_playback(real_time);
    FrameSequence& sequence = options.real_time ? static_cast<FrameSequence&>(real_time_playback) : playback;
    if (options.kind != OutputKind::Still) {
        const bool planned = options.real_time
                                 ? plan_real_time_frames(options, &real_time, &plan, &error,
                                                         depths.empty() ? nullptr : &depths)
                                 : plan_frames(options, &plan, &error);
        if (!planned) return report_failure(error);
        sequence.go_to(0);
    }
    map.depths = &depths;
    // After the plan, which puts the catalogue in time order.
    if (options.section) {
        map.section = SectionProfile::between(options.section_a, options.section_b, &error);
        if (!map.section) return report_failure(error);  // judged with the command line already
        map.section_width_km = options.section_width_km;
        map.section_places = place_in_section(*map.section, viewer.catalogue, depths, options.section_width_km,
                                              options.section_depth_max);
        const SectionPlaces& places = map.section_places;
        if (!options.quiet)
            std::fprintf(stderr,
                         "sismap-record: section %.0f km long, %g km either side, down to %g km: %s in the "
                         "swath; not drawn there: %s, %s\n",
                         places.length_km, options.section_width_km, places.depth_max_km,
                         count_text(places.in_swath, "event", "events").c_str(),
                         count_text(places.without_depth, "without a depth", "without a depth").c_str(),
                         count_text(places.too_deep, "deeper than the section", "deeper than the section").c_str());
    }

    // Always a private server, never the user's display: the same software
    // renderer, screen and visual on every machine, no window manager, and
    // nothing flashes on anyone's screen.
    const int width = options.map_mode ? options.width : kWindowSize;
    const int height = options.map_mode ? options.height : kWindowSize;
    PrivateDisplay display;
    if (!display.start(width, height, kStartTimeout, &error)) return report_failure(error);
    int status = kExitFailed;
    if (open_offscreen_view(display.name(), kStartTimeout, &error, width, height)) {
        DrawFrame draw = [](const char* legend, FrameImage* image) { read_frame(image, legend); };
        if (options.map_mode) {
            map.sample_dates = sequence.legend() != nullptr ? sequence.legend() : sequence.dates();
            set_up_map(std::move(map));
            draw = [&sequence](const char* legend, FrameImage* image) {
                double start = 0.0;
                double end = 0.0;
                sequence.window_days(&start, &end);
                read_map_frame(image, legend != nullptr ? std::string(legend) : sequence.dates(), start, end);
            };
        } else if (options.real_time && options.kind != OutputKind::Still) {
            keep_legend_in_frame(real_time, sequence);
        }
        if (options.kind == OutputKind::Still)
            status = record_still(options, draw);
        else if (options.kind == OutputKind::Html)
            status = record_page(options, plan, sequence, real_time);
        else
            status = record_animation(options, plan, sequence, draw, width, height);
    } else {
        report_failure(error);
    }
    set_status_if_display_lost(status);
    close_offscreen_view();
    display.stop();
    return status;
}
