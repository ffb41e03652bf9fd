// sismap-record: draws the viewer's playback offscreen, frame by frame, and
// writes it as an animated GIF, an MP4 video, a PNG still or PNG frames.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/program_constants.h"
#include "app/startup.h"
#include "app/viewer_state.h"
#include "tool/progress_bar.h"
#include "record/encoding_thread.h"
#include "record/frame_plan.h"
#include "record/frame_sink.h"
#include "record/offscreen_view.h"
#include "record/png_writer.h"
#include "record/private_display.h"
#include "record/record_options.h"

namespace {

constexpr double kStartTimeout = 20.0;  // seconds for the X server, and again for the window

int report_failure(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "sismap-record: %s\n", message.c_str());
    return kExitFailure;
}

// The folder an output file will be written into must exist before any
// work is done; a frame folder must exist itself.
bool check_output_place(const RecordOptions& options, std::string* error) {
    const std::string& path = options.output_path;
    struct stat info;
    if (options.kind == OutputKind::PngFolder) {
        if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            *error = "the folder '" + path + "' does not exist; create it first to receive the frames";
            return false;
        }
        return true;
    }
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return true;
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        *error = "cannot write '" + path + "': the folder '" + folder + "' does not exist";
        return false;
    }
    return true;
}

std::string size_text(uint64_t bytes) {
    char text[32];
    if (bytes >= 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    else if (bytes >= 1024)
        std::snprintf(text, sizeof text, "%.1f kB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    return text;
}

// The animation being written, for abandon_output().
FrameSink* active_sink = nullptr;

// At exit(): should the X connection be lost while recording, Xlib ends the
// process from inside a drawing call, and the unfinished output must go.
void abandon_output() {
    if (active_sink != nullptr) active_sink->abandon();
}

std::string window_dates() {
    return std::string(viewer.window_first_date.text()) + " - " + viewer.window_last_date.text();
}

int record_still(const RecordOptions& options) {
    FrameImage frame;
    read_frame(&frame);
    std::string error;
    uint64_t size = 0;
    if (!write_png(frame, options.output_path, &error, &size)) return report_failure(error);
    if (!options.quiet)
        std::fprintf(stderr, "sismap-record: start-up view (%s), %s, written to %s\n", window_dates().c_str(),
                     size_text(size).c_str(), options.output_path.c_str());
    return kExitOk;
}

int record_animation(const RecordOptions& options, const FramePlan& plan) {
    std::string error;
    std::unique_ptr<FrameSink> sink =
        open_frame_sink(options.kind, options.output_path, kWindowSize, kWindowSize, options.fps, &error);
    if (!sink) return report_failure(error);
    static const bool registered = std::atexit(abandon_output) == 0;
    (void)registered;
    active_sink = sink.get();
    struct Forget {
        ~Forget() { active_sink = nullptr; }
    } forget;

    const uint64_t total = static_cast<uint64_t>(plan.kept_count());
    uint64_t written = 0;
    ProgressBar progress(!options.quiet && stderr_is_terminal());
    {
        EncodingThread encoder(*sink);
        FrameImage frame;
        for (int64_t k = 0; k <= plan.last; ++k) {
            if (k > 0) step_forward();
            if (!plan.keeps(k)) continue;
            read_frame(&frame);
            if (!encoder.submit(frame, &error)) return report_failure(error);
            ++written;
            progress.update(written, total, window_dates());
        }
        if (!encoder.drain(&error)) return report_failure(error);
    }
    if (!sink->finish(&error)) return report_failure(error);
    progress.finish();
    if (!options.quiet) {
        std::fprintf(stderr, "sismap-record: %llu frames (%.2f s at %d fps), %s, written to %s\n",
                     static_cast<unsigned long long>(written), static_cast<double>(written) / options.fps, options.fps,
                     size_text(sink->bytes_written()).c_str(), options.output_path.c_str());
    }
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

    if (!load_viewer_state(options.landscape_path.c_str(), options.quake_path.c_str())) return kExitFailure;
    apply_view_options(options);
    FramePlan plan;
    if (options.kind != OutputKind::Still && !plan_frames(options, &plan, &error)) return report_failure(error);

    // Always a private server, never the user's display: the same software
    // renderer, screen and visual on every machine, no window manager, and
    // nothing flashes on anyone's screen.
    PrivateDisplay display;
    if (!display.start(kWindowSize, kWindowSize, kStartTimeout, &error)) return report_failure(error);
    int status = kExitFailure;
    if (open_offscreen_view(display.name(), kStartTimeout, &error))
        status = options.kind == OutputKind::Still ? record_still(options) : record_animation(options, plan);
    else
        report_failure(error);
    set_status_if_display_lost(status);
    close_offscreen_view();
    display.stop();
    return status;
}
