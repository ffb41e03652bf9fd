// Where recorded frames go: the one interface of the GIF, MP4 and PNG-folder
// writers. Every writer either completes its output or leaves none (the
// files are written through OutputFile). The recorder's start-up picks the
// writer (record/recording.h).
#pragma once

#include <cstdint>
#include <string>

#include "record/frame_image.h"

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
