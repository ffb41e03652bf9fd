// Where recorded frames go: one interface for the GIF, MP4 and PNG-folder
// writers, chosen by the output's kind. Every writer either completes its
// output or leaves none (the files are written through OutputFile).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "record/frame_image.h"
#include "record/record_options.h"

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Appends one frame; every frame has the size given when the sink was made.
    virtual bool add(const FrameImage& frame, std::string* error) = 0;
    // Completes the output and puts it in place; nothing is in place before.
    virtual bool finish(std::string* error) = 0;
    // Bytes written so far (after finish: the output's size).
    virtual uint64_t bytes_written() const = 0;
    // Removes the unfinished output at once. For the exit() that the X
    // libraries make on a lost connection, which runs no destructors.
    virtual void abandon() {}
};

// The writer for an animation kind (Gif, Mp4 or PngFolder), with its output
// already opened; null with a message naming the output on failure.
std::unique_ptr<FrameSink> open_frame_sink(OutputKind kind, const std::string& path, int width, int height, int fps,
                                           std::string* error);
