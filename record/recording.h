// The recorder's start-up of an animation: the writer that OUTPUT's kind
// asks for, and the loop that puts the viewer at each planned frame, draws
// it, encodes it and writes it, with the progress bar and the summary.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "record/frame_image.h"
#include "record/frame_plan.h"
#include "record/frame_sink.h"
#include "record/png_writer.h"
#include "record/record_options.h"

// The writer for an animation kind (Gif, Mp4 or PngFolder), with its output
// already opened; null with a message naming the output on failure.
// `folder` is for PngFolder only.
std::unique_ptr<FrameSink> open_frame_sink(OutputKind kind, const std::string& path, int width, int height, int fps,
                                           std::string* error, FrameFolderSettings folder = {});

// Draws the ViewerState as it stands into `image`, with `legend` (when not
// null) as the legend's date range.
using DrawFrame = std::function<void(const char* legend, FrameImage* image)>;

// Recordings of more than this many frames are announced before they start,
// with their frame count and an estimate of their time.
inline constexpr uint64_t kAnnouncedFrames = 100000;

// Records the frames `plan` keeps from `sequence` into a new output of
// `options.kind` at `options.output_path`. Returns the exit status: 0 with
// the output in place, 1 with a message on standard error and no output
// (nor any temporary file) when any step failed.
int record_animation(const RecordOptions& options, const FramePlan& plan, FrameSequence& sequence,
                     const DrawFrame& draw, int width, int height);

// "1.5 MB", "3.2 kB", "17 bytes".
std::string size_text(uint64_t bytes);

