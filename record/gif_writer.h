// Animated GIF through giflib: loops forever, one frame per recorded frame
// with its delay from the frame rate, each frame only the rectangle that
// changed, with an exact palette whenever that rectangle has at most 256
// colours (the viewer's frames nearly always do).
#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tool/output_file.h"
#include "record/frame_image.h"
#include "record/frame_sink.h"

// The colours of one frame's rectangle as palette indices.
struct IndexedRect {
    std::vector<uint8_t> indices;  // rect.width * rect.height, top row first
    std::vector<GifColorType> colours;
    int transparent = -1;  // index of "as in the previous frame", or -1
    bool exact = true;     // false when more than 256 colours were quantised
};

// Indexes the pixels of `rect` in `frame`. With `previous`, pixels equal to
// the previous frame's become one transparent index when the changed pixels
// hold at most 255 colours; otherwise every pixel gets its exact colour when
// there are at most 256, and a median-cut palette of 256 beyond that.
IndexedRect index_rect(const FrameImage& frame, const FrameImage* previous, const PixelRect& rect);

// Hundredths of a second that frame `n` stays on screen at `fps`: the
// rounded frame times are differenced, so any rate keeps exact time overall.
int gif_delay(int64_t n, int fps);

class GifWriter : public FrameSink {
public:
    GifWriter(int width, int height, int fps) : width_(width), height_(height), fps_(fps) {}
    ~GifWriter() override;

    bool open(const std::string& path, std::string* error);
    bool add(const FrameImage& frame, std::string* error) override;
    bool finish(std::string* error) override;
    uint64_t bytes_written() const override { return bytes_; }
    void abandon() override { out_.discard(); }

private:
    static int write_bytes(GifFileType* gif, const GifByteType* bytes, int length);
    bool fail(const std::string& what, int gif_error, std::string* error);

    int width_;
    int height_;
    int fps_;
    OutputFile out_;
    GifFileType* gif_ = nullptr;
    FrameImage previous_;
    int64_t frames_ = 0;
    uint64_t bytes_ = 0;
};
