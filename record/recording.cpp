// Choosing the writer and running the frames through it. Encoding overlaps
// drawing (EncodingThread); the output appears only once complete.
#include "record/recording.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "record/encoding_thread.h"
#include "record/gif_writer.h"
#include "record/mp4_writer.h"
#include "record/png_writer.h"
#include "tool/progress_bar.h"

namespace {

// The animation being written, for abandon_output().
FrameSink* active_sink = nullptr;

// At exit(): should the X connection be lost while recording, Xlib ends the
// process from inside a drawing call, and the unfinished output must go.
void abandon_output() {
    if (active_sink != nullptr) active_sink->abandon();
}

// "40 s", "12 min", "3.2 hours".
std::string duration_text(double seconds) {
    char text[32];
    if (seconds < 90.0)
        std::snprintf(text, sizeof text, "%.0f s", seconds);
    else if (seconds < 90.0 * 60.0)
        std::snprintf(text, sizeof text, "%.0f min", seconds / 60.0);
    else
        std::snprintf(text, sizeof text, "%.1f hours", seconds / 3600.0);
    return text;
}

// Before a long recording: how many frames, and how long drawing them takes
// at the speed of the first one (drawn a few times; encoding runs beside
// drawing, and only adds when it is the slower).
void announce_long_recording(uint64_t total, const FramePlan& plan, FrameSequence& sequence, const DrawFrame& draw) {
    constexpr int kTrials = 3;
    FrameImage frame;
    sequence.go_to(plan.first);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kTrials; ++i) draw(sequence.legend(), &frame);
    const double each = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kTrials;
    std::fprintf(stderr,
                 "sismap-record: %llu frames to record; drawing them takes about %s at the speed of the first "
                 "(more if writing is slower)\n",
                 static_cast<unsigned long long>(total), duration_text(each * static_cast<double>(total)).c_str());
}

}  // namespace

std::unique_ptr<FrameSink> open_frame_sink(OutputKind kind, const std::string& path, int width, int height, int fps,
                                           std::string* error, FrameFolderSettings folder_settings) {
    switch (kind) {
        case OutputKind::Gif: {
            auto gif = std::make_unique<GifWriter>(width, height, fps);
            if (!gif->open(path, error)) return nullptr;
            return gif;
        }
        case OutputKind::Mp4: {
            auto mp4 = std::make_unique<Mp4Writer>(width, height, fps);
            if (!mp4->open(path, error)) return nullptr;
            return mp4;
        }
        case OutputKind::PngFolder: {
            auto folder = std::make_unique<PngFolderWriter>(path, folder_settings);
            if (!folder->open(error)) return nullptr;
            return folder;
        }
        case OutputKind::Still:
        case OutputKind::Html:
            break;
    }
    *error = "a still picture is not an animation";
    return nullptr;
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

int record_animation(const RecordOptions& options, const FramePlan& plan, FrameSequence& sequence,
                     const DrawFrame& draw, int width, int height) {
    std::string error;
    const uint64_t total = static_cast<uint64_t>(plan.kept_count());
    std::unique_ptr<FrameSink> sink =
        open_frame_sink(options.kind, options.output_path, width, height, options.fps, &error,
                        FrameFolderSettings{static_cast<int64_t>(total), options.overwrite});
    if (!sink) return report_failure(error);
    static const bool registered = std::atexit(abandon_output) == 0;
    (void)registered;
    active_sink = sink.get();
    struct Forget {
        ~Forget() { active_sink = nullptr; }
    } forget;

    if (total > kAnnouncedFrames && !options.quiet) announce_long_recording(total, plan, sequence, draw);
    uint64_t written = 0;
    ProgressBar progress(!options.quiet && stderr_is_terminal());
    {
        EncodingThread encoder(*sink);
        FrameImage frame;
        for (int64_t k = plan.first; k <= plan.last; ++k) {
            if (!plan.keeps(k)) continue;
            sequence.go_to(k);
            draw(sequence.legend(), &frame);
            if (!encoder.submit(frame, &error)) return report_failure(error);
            ++written;
            progress.update(written, total, sequence.dates());
        }
        if (!encoder.drain(&error)) return report_failure(error);
    }
    if (!sink->finish(&error)) return report_failure(error);
    progress.finish();
    if (!options.quiet) {
        std::fprintf(stderr, "sismap-record: %llu frame%s (%.2f s at %d fps), %s, written to %s\n",
                     static_cast<unsigned long long>(written), written == 1 ? "" : "s",
                     static_cast<double>(written) / options.fps, options.fps, size_text(sink->bytes_written()).c_str(),
                     options.output_path.c_str());
    }
    return kExitDone;
}
