// MP4 writing: libx264 (or whichever H.264 encoder FFmpeg offers) at a
// constant quality, from BT.601 limited-range yuv420p made by the converter
// below (not libswscale, whose averaged chroma washes out the viewer's
// one-pixel coloured lines), tagged as such so players convert it back the
// same way.
#include "record/mp4_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include <sys/stat.h>

#include <cmath>
#include <cstring>

namespace {

// BT.601 limited range, as FFmpeg converts by default.
constexpr double kLumaScale = 255.0 / 219.0;
constexpr double kRedFromV = 1.596027;
constexpr double kGreenFromU = -0.391762;
constexpr double kGreenFromV = -0.812968;
constexpr double kBlueFromU = 2.017232;

double clip_channel(double value) { return value < 0.0 ? 0.0 : (value > 255.0 ? 255.0 : value); }

// Rounded and clamped to [low, high] (low >= 0).
int clamp_int(double value, int low, int high) {
    if (!(value > low)) return low;
    if (value >= high) return high;
    return static_cast<int>(value + 0.5);
}

void standard_yuv(const uint8_t* p, double* y, double* u, double* v) {
    const double r = p[0], g = p[1], b = p[2];
    *y = 16.0 + 0.256788 * r + 0.504129 * g + 0.097906 * b;
    *u = 128.0 - 0.148223 * r - 0.290993 * g + 0.439216 * b;
    *v = 128.0 + 0.439216 * r - 0.367788 * g - 0.071427 * b;
}

// Weight of a sample's squared distance from the standard conversion against
// the squared RGB error: a frame must stay close both to its pixels as
// players show them and to the standard yuv420p of those pixels, which
// comparisons made in YUV use. 1 balances the two on the densest frames
// measured (both above 31 dB).
constexpr double kStandardWeight = 1.0;

// The luma code for pixel `p` under chroma (u, v) that best balances its
// decoded colour against `standard` (the pixel's standard luma); the
// weighted squared error in `*error`. Candidates: the unclipped least-squares
// fit, the codes at which each channel comes out exact, and the standard.
int fit_luma(const uint8_t* p, double standard, int u, int v, double* error) {
    const double offset[3] = {kRedFromV * (v - 128), kGreenFromU * (u - 128) + kGreenFromV * (v - 128),
                              kBlueFromU * (u - 128)};
    double candidates[5];
    candidates[0] = ((p[0] - offset[0]) + (p[1] - offset[1]) + (p[2] - offset[2])) / 3.0;
    for (int c = 0; c < 3; ++c) candidates[c + 1] = p[c] - offset[c];
    candidates[4] = (standard - 16.0) * kLumaScale;
    int best = 16;
    double best_error = HUGE_VAL;
    for (double scaled : candidates) {
        const int code = clamp_int(16.0 + scaled / kLumaScale, 16, 235);
        const double luma = (code - 16) * kLumaScale;
        double e = kStandardWeight * (code - standard) * (code - standard);
        for (int c = 0; c < 3; ++c) {
            const double d = clip_channel(luma + offset[c]) - p[c];
            e += d * d;
        }
        if (e < best_error) {
            best_error = e;
            best = code;
        }
    }
    *error = best_error;
    return best;
}

std::string av_reason(int av_error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(av_error, text, sizeof text);
    return text;
}

}  // namespace

void yuv_to_rgb(int y, int u, int v, uint8_t rgb[3]) {
    const double luma = (y - 16) * kLumaScale;
    rgb[0] = static_cast<uint8_t>(std::lround(clip_channel(luma + kRedFromV * (v - 128))));
    rgb[1] = static_cast<uint8_t>(std::lround(clip_channel(luma + kGreenFromU * (u - 128) + kGreenFromV * (v - 128))));
    rgb[2] = static_cast<uint8_t>(std::lround(clip_channel(luma + kBlueFromU * (u - 128))));
}

Yuv420Converter::Yuv420Converter() : cache_(kCacheSize) {}

void Yuv420Converter::convert_block(const uint8_t* const pixels[4], uint8_t luma[4], uint8_t* u, uint8_t* v) {
    double sy[4], su[4], sv[4];
    for (int i = 0; i < 4; ++i) standard_yuv(pixels[i], &sy[i], &su[i], &sv[i]);
    const double mean_u = (su[0] + su[1] + su[2] + su[3]) / 4.0;
    const double mean_v = (sv[0] + sv[1] + sv[2] + sv[3]) / 4.0;
    // The block's error for chroma (bu, bv), its lumas in `fitted`; stops
    // early once past `bound`, as that candidate has lost.
    const auto block_error = [&](int bu, int bv, int fitted[4], double bound) {
        double total = kStandardWeight * ((bu - mean_u) * (bu - mean_u) + (bv - mean_v) * (bv - mean_v));
        for (int i = 0; i < 4 && total < bound; ++i) {
            double e = 0.0;
            fitted[i] = fit_luma(pixels[i], sy[i], bu, bv, &e);
            total += e;
        }
        return total;
    };
    // Candidates: the block's mean chroma, and points a quarter, half,
    // three quarters and all the way from it to each pixel's own.
    int best_u = clamp_int(mean_u, 16, 240), best_v = clamp_int(mean_v, 16, 240);
    int best_luma[4];
    double best_error = block_error(best_u, best_v, best_luma, HUGE_VAL);
    for (int i = 0; i < 4; ++i) {
        for (double t : {0.25, 0.5, 0.75, 1.0}) {
            const int tu = clamp_int(mean_u + t * (su[i] - mean_u), 16, 240);
            const int tv = clamp_int(mean_v + t * (sv[i] - mean_v), 16, 240);
            int fitted[4];
            const double e = block_error(tu, tv, fitted, best_error);
            if (e < best_error) {
                best_error = e;
                best_u = tu;
                best_v = tv;
                std::memcpy(best_luma, fitted, sizeof fitted);
            }
        }
    }
    for (int i = 0; i < 4; ++i) luma[i] = static_cast<uint8_t>(best_luma[i]);
    *u = static_cast<uint8_t>(best_u);
    *v = static_cast<uint8_t>(best_v);
}

void Yuv420Converter::convert(const FrameImage& frame, uint8_t* y, int y_stride, uint8_t* u, int u_stride,
                              uint8_t* v, int v_stride) {
    for (int by = 0; by + 1 < frame.height; by += 2) {
        for (int bx = 0; bx + 1 < frame.width; bx += 2) {
            const uint8_t* const pixels[4] = {frame.pixel(bx, by), frame.pixel(bx + 1, by), frame.pixel(bx, by + 1),
                                              frame.pixel(bx + 1, by + 1)};
            uint8_t* const top = &y[by * y_stride + bx];
            uint8_t* const bottom = &y[(by + 1) * y_stride + bx];
            uint8_t* const chroma_u = &u[(by / 2) * u_stride + bx / 2];
            uint8_t* const chroma_v = &v[(by / 2) * v_stride + bx / 2];
            Block key;
            for (int i = 0; i < 4; ++i) std::memcpy(&key.rgb[i * 3], pixels[i], 3);
            // Frames repeat the same few blocks (the legend's glyphs, marks of
            // one magnitude, black): each is worked out once.
            uint32_t hash = 2166136261u;
            for (uint8_t byte : key.rgb) hash = (hash ^ byte) * 16777619u;
            Block& slot = cache_[hash & (kCacheSize - 1)];
            if (!slot.used || std::memcmp(slot.rgb, key.rgb, sizeof key.rgb) != 0) {
                std::memcpy(slot.rgb, key.rgb, sizeof key.rgb);
                slot.used = true;
                if (std::memcmp(key.rgb, key.rgb + 3, 9) == 0) {  // one colour: the standard conversion
                    double sy, su, sv;
                    standard_yuv(pixels[0], &sy, &su, &sv);
                    std::memset(slot.luma, clamp_int(sy, 16, 235), 4);
                    slot.u = static_cast<uint8_t>(clamp_int(su, 16, 240));
                    slot.v = static_cast<uint8_t>(clamp_int(sv, 16, 240));
                } else {
                    convert_block(pixels, slot.luma, &slot.u, &slot.v);
                }
            }
            top[0] = slot.luma[0];
            top[1] = slot.luma[1];
            bottom[0] = slot.luma[2];
            bottom[1] = slot.luma[3];
            *chroma_u = slot.u;
            *chroma_v = slot.v;
        }
    }
}

Mp4Writer::~Mp4Writer() { release(); }

void Mp4Writer::release() {
    if (format_ != nullptr && format_->pb != nullptr) avio_closep(&format_->pb);
    avformat_free_context(format_);
    format_ = nullptr;
    avcodec_free_context(&codec_);
    av_frame_free(&picture_);
    av_packet_free(&packet_);
}

bool Mp4Writer::fail(const std::string& what, int av_error, std::string* error) {
    *error = "cannot write '" + out_.path() + "': " + what + (av_error < 0 ? ": " + av_reason(av_error) : "");
    release();
    out_.discard();
    return false;
}

bool Mp4Writer::open(const std::string& path, std::string* error) {
    if (!out_.open(path, error)) return false;
    av_log_set_level(AV_LOG_ERROR);  // the encoder's banner and statistics are not for the user

    const std::string& temp = out_.temp_path();
    int status = avformat_alloc_output_context2(&format_, nullptr, "mp4", temp.c_str());
    if (status < 0 || format_ == nullptr) return fail("MP4 muxer", status, error);
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (codec == nullptr) return fail("FFmpeg has no H.264 encoder", 0, error);

    stream_ = avformat_new_stream(format_, nullptr);
    codec_ = avcodec_alloc_context3(codec);
    picture_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (stream_ == nullptr || codec_ == nullptr || picture_ == nullptr || packet_ == nullptr)
        return fail("out of memory", AVERROR(ENOMEM), error);

    codec_->width = width_;
    codec_->height = height_;
    codec_->pix_fmt = AV_PIX_FMT_YUV420P;
    codec_->time_base = AVRational{1, fps_};
    codec_->framerate = AVRational{fps_, 1};
    codec_->gop_size = 10 * fps_;
    codec_->color_range = AVCOL_RANGE_MPEG;
    codec_->colorspace = AVCOL_SPC_SMPTE170M;
    codec_->color_primaries = AVCOL_PRI_SMPTE170M;
    codec_->color_trc = AVCOL_TRC_SMPTE170M;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // Thin one-pixel lines on black need a low rate factor to stay sharp.
    av_opt_set(codec_->priv_data, "crf", "18", 0);
    av_opt_set(codec_->priv_data, "preset", "fast", 0);
    status = avcodec_open2(codec_, codec, nullptr);
    if (status < 0) return fail("H.264 encoder", status, error);
    status = avcodec_parameters_from_context(stream_->codecpar, codec_);
    if (status < 0) return fail("stream parameters", status, error);
    stream_->time_base = codec_->time_base;
    stream_->avg_frame_rate = codec_->framerate;

    picture_->format = AV_PIX_FMT_YUV420P;
    picture_->width = width_;
    picture_->height = height_;
    status = av_frame_get_buffer(picture_, 0);
    if (status < 0) return fail("frame buffer", status, error);

    status = avio_open(&format_->pb, temp.c_str(), AVIO_FLAG_WRITE);
    if (status < 0) return fail("open", status, error);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    status = avformat_write_header(format_, &options);
    av_dict_free(&options);
    if (status < 0) return fail("MP4 header", status, error);
    return true;
}

bool Mp4Writer::encode(AVFrame* frame, std::string* error) {
    int status = avcodec_send_frame(codec_, frame);
    if (status < 0) return fail("H.264 encoding", status, error);
    for (;;) {
        status = avcodec_receive_packet(codec_, packet_);
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
        if (status < 0) return fail("H.264 encoding", status, error);
        av_packet_rescale_ts(packet_, codec_->time_base, stream_->time_base);
        packet_->stream_index = stream_->index;
        bytes_ += static_cast<uint64_t>(packet_->size);
        status = av_interleaved_write_frame(format_, packet_);
        if (status < 0) return fail("MP4 data", status, error);
    }
}

bool Mp4Writer::add(const FrameImage& frame, std::string* error) {
    if (codec_ == nullptr) return false;
    const int status = av_frame_make_writable(picture_);
    if (status < 0) return fail("frame buffer", status, error);
    converter_.convert(frame, picture_->data[0], picture_->linesize[0], picture_->data[1], picture_->linesize[1],
                  picture_->data[2], picture_->linesize[2]);
    picture_->pts = frames_++;
    return encode(picture_, error);
}

bool Mp4Writer::finish(std::string* error) {
    if (codec_ == nullptr) return false;
    if (!encode(nullptr, error)) return false;
    // With faststart the muxer rewrites the file here, index first.
    const int status = av_write_trailer(format_);
    if (status < 0) return fail("MP4 index", status, error);
    avio_closep(&format_->pb);
    release();
    struct stat info;
    if (::stat(out_.temp_path().c_str(), &info) == 0) bytes_ = static_cast<uint64_t>(info.st_size);
    return out_.commit(error);
}
