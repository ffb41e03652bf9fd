// H.264 video in an MP4 container through FFmpeg's libraries: yuv420p at the
// recording's frame rate, with the index at the front of the file
// ("faststart") so that browsers start playing before it is all loaded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tool/output_file.h"
#include "record/frame_image.h"
#include "record/frame_sink.h"

// Converts frames to BT.601 limited-range yuv420p planes (`y` of width x
// height, `u` and `v` of a quarter of that, rows `*_stride` bytes apart).
// Each 2x2 block shares one chroma sample, which thin coloured lines on black
// do not survive when it is just averaged: a one-pixel yellow line would come
// back nearly white. So where a block holds more than one colour, chroma from
// the block's mean towards each pixel's own is tried, each pixel's luma is
// fitted to it, and the choice that decodes closest to the RGB pixels (with
// the chroma spread over the block, as players convert) while staying close
// to the standard conversion is kept. Blocks of one colour get the standard
// conversion. Width and height even.
class Yuv420Converter {
public:
    Yuv420Converter();
    void convert(const FrameImage& frame, uint8_t* y, int y_stride, uint8_t* u, int u_stride, uint8_t* v,
                 int v_stride);

private:
    struct Block {
        uint8_t rgb[12];  // the four pixels, row by row
        uint8_t luma[4];
        uint8_t u = 0;
        uint8_t v = 0;
        bool used = false;
    };
    static constexpr size_t kCacheSize = 1 << 16;
    void convert_block(const uint8_t* const pixels[4], uint8_t luma[4], uint8_t* u, uint8_t* v);
    std::vector<Block> cache_;
};

// The RGB a player shows for luma `y` and chroma `u`, `v` (BT.601, limited
// range, clipped), as the conversion assumes.
void yuv_to_rgb(int y, int u, int v, uint8_t rgb[3]);

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

class Mp4Writer : public FrameSink {
public:
    Mp4Writer(int width, int height, int fps) : width_(width), height_(height), fps_(fps) {}
    ~Mp4Writer() override;
    Mp4Writer(const Mp4Writer&) = delete;
    Mp4Writer& operator=(const Mp4Writer&) = delete;

    bool open(const std::string& path, std::string* error);
    bool add(const FrameImage& frame, std::string* error) override;
    bool finish(std::string* error) override;
    uint64_t bytes_written() const override { return bytes_; }
    void abandon() override { out_.discard(); }

private:
    bool fail(const std::string& what, int av_error, std::string* error);
    // Sends `frame` (null: end of stream) and writes every packet it yields.
    bool encode(AVFrame* frame, std::string* error);
    void release();

    int width_;
    int height_;
    int fps_;
    OutputFile out_;  // owns the temporary file that FFmpeg writes by name
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVStream* stream_ = nullptr;
    AVFrame* picture_ = nullptr;
    AVPacket* packet_ = nullptr;
    Yuv420Converter converter_;
    int64_t frames_ = 0;
    uint64_t bytes_ = 0;
};
