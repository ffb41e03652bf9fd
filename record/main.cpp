// sismap-record: draws the viewer's playback offscreen, frame by frame, and
// writes it as an animated GIF, an MP4 video, a PNG still or PNG frames.
#include <errno.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/program_constants.h"
#include "app/startup.h"
#include "app/viewer_state.h"
#include "record/fit_camera.h"
#include "record/frame_plan.h"
#include "record/offscreen_view.h"
#include "record/png_writer.h"
#include "record/private_display.h"
#include "record/real_time.h"
#include "record/record_options.h"
#include "record/recording.h"
#include "view/scene.h"

namespace {

constexpr double kStartTimeout = 20.0;  // seconds for the X server, and again for the window
constexpr double kFitMargin = 0.05;     // of the frame, on each side

// The folder an output file will be written into must exist before any
// work is done; a frame folder must exist itself.
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
        if (::stat(path.c_str(), &info) != 0) {
            *error = "the folder '" + path + "' does not exist; create it first to receive the frames";
            return false;
        }
        return true;
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

// --fit: the camera that frames the outline and the legend as frame 0
// draws it (its texts' widths do not change from frame to frame: the
// font's digits are all one width).
void fit_view(const FrameSequence& sequence, float start_pan_x, float start_pan_y) {
    FitContent content;
    content.min_x = viewer.min_x;
    content.min_y = viewer.min_y;
    content.max_x = viewer.max_x;
    content.max_y = viewer.max_y;
    content.pan_x = start_pan_x;
    content.pan_y = start_pan_y;
    char magnitude[16];
    format_magnitude_legend(magnitude, sizeof magnitude);
    content.magnitude_text_pixels = legend_text_pixels(magnitude);
    const char* legend = sequence.legend();
    const std::string dates = legend != nullptr ? std::string(legend) : sequence.dates();
    content.dates_text_pixels = legend_text_pixels(dates.c_str());
    set_fitted_camera(fit_camera(content, kWindowSize, kFitMargin));
}

int record_still(const RecordOptions& options) {
    FrameImage frame;
    read_frame(&frame);
    std::string error;
    uint64_t size = 0;
    if (!write_png(frame, options.output_path, &error, &size)) return report_failure(error);
    if (!options.quiet)
        std::fprintf(stderr, "sismap-record: start-up view (%s - %s), %s, written to %s\n",
                     viewer.window_first_date.text(), viewer.window_last_date.text(), size_text(size).c_str(),
                     options.output_path.c_str());
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
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
    const bool loaded = load_viewer_state(options.landscape_path.c_str(), options.quake_path.c_str(), load);
    if (!layout_hint.empty()) return report_failure(layout_hint);
    if (!loaded) return kExitFailure;
    const float start_pan_x = viewer.pan_x;
    const float start_pan_y = viewer.pan_y;
    apply_view_options(options);

    FramePlan plan;
    RealTimeFrames real_time;
    ViewerPlayback playback;
    RealTimePlayback real_time_playback(real_time);
    FrameSequence& sequence = options.real_time ? static_cast<FrameSequence&>(real_time_playback) : playback;
    if (options.kind != OutputKind::Still) {
        const bool planned = options.real_time ? plan_real_time_frames(options, &real_time, &plan, &error)
                                               : plan_frames(options, &plan, &error);
        if (!planned) return report_failure(error);
        sequence.go_to(0);
    }

    // Always a private server, never the user's display: the same software
    // renderer, screen and visual on every machine, no window manager, and
    // nothing flashes on anyone's screen.
    PrivateDisplay display;
    if (!display.start(kWindowSize, kWindowSize, kStartTimeout, &error)) return report_failure(error);
    int status = kExitFailure;
    if (open_offscreen_view(display.name(), kStartTimeout, &error)) {
        if (options.fit) fit_view(sequence, start_pan_x, start_pan_y);
        if (options.kind == OutputKind::Still) {
            status = record_still(options);
        } else {
            const DrawFrame draw = [](const char* legend, FrameImage* image) { read_frame(image, legend); };
            status = record_animation(options, plan, sequence, draw, kWindowSize, kWindowSize);
        }
    } else {
        report_failure(error);
    }
    set_status_if_display_lost(status);
    close_offscreen_view();
    display.stop();
    return status;
}
