// H.264 video in an MP4 container through FFmpeg's libraries: yuv420p at the
// recording's frame rate, with the index at the front of the file
// ("faststart") so that browsers start playing before it is all loaded.
#pragma once

#include <cstdint>
#include <string>

#include "tool/output_file.h"
#include "record/frame_image.h"
#include "record/frame_sink.h"
#include "record/yuv420_converter.h"

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
    FrameImage previous_;  // what the planes hold
    int64_t frames_ = 0;
    uint64_t bytes_ = 0;
};
