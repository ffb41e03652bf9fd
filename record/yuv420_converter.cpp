// RGB to yuv420p for the MP4 writer: the standard BT.601 conversion where a
// 2x2 block is one colour, a fitted one where it is not.
#include "record/yuv420_converter.h"

#include <algorithm>
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

// Two pixels' 8 bytes from `p` as one number.
uint64_t two_pixels(const uint8_t* p) {
    uint64_t n = 0;
    std::memcpy(&n, p, 8);
    return n;
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
    convert(frame, PixelRect{0, 0, frame.width, frame.height}, y, y_stride, u, u_stride, v, v_stride);
}

void Yuv420Converter::convert(const FrameImage& frame, const PixelRect& rect, uint8_t* y, int y_stride, uint8_t* u,
                              int u_stride, uint8_t* v, int v_stride) {
    if (rect.empty()) return;
    // The 2x2 blocks that meet the rectangle.
    const int first_x = rect.left & ~1, first_y = rect.top & ~1;
    const int end_x = std::min(frame.width & ~1, rect.left + rect.width + 1);
    const int end_y = std::min(frame.height & ~1, rect.top + rect.height + 1);
    for (int by = first_y; by + 1 < end_y; by += 2) {
        const Block* last = nullptr;  // the previous block's slot, still holding it
        uint64_t last_top = 0, last_bottom = 0;
        for (int bx = first_x; bx + 1 < end_x; bx += 2) {
            const uint8_t* const pixels[4] = {frame.pixel(bx, by), frame.pixel(bx + 1, by), frame.pixel(bx, by + 1),
                                              frame.pixel(bx + 1, by + 1)};
            uint8_t* const top = &y[by * y_stride + bx];
            uint8_t* const bottom = &y[(by + 1) * y_stride + bx];
            uint8_t* const chroma_u = &u[(by / 2) * u_stride + bx / 2];
            uint8_t* const chroma_v = &v[(by / 2) * v_stride + bx / 2];
            // Most blocks are the same as the one before (black, mostly):
            // the block's two rows of two pixels, as two numbers, say so.
            const uint64_t top_row = two_pixels(pixels[0]), bottom_row = two_pixels(pixels[2]);
            const Block* slot = last;
            if (last == nullptr || top_row != last_top || bottom_row != last_bottom) {
                slot = &look_up(pixels);
                last = slot;
                last_top = top_row;
                last_bottom = bottom_row;
            }
            top[0] = slot->luma[0];
            top[1] = slot->luma[1];
            bottom[0] = slot->luma[2];
            bottom[1] = slot->luma[3];
            *chroma_u = slot->u;
            *chroma_v = slot->v;
        }
    }
}

const Yuv420Converter::Block& Yuv420Converter::look_up(const uint8_t* const frame_pixels[4]) {
    Block key;
    for (int i = 0; i < 4; ++i) {
        key.rgb[i * 3] = frame_pixels[i][kRed];
        key.rgb[i * 3 + 1] = frame_pixels[i][kGreen];
        key.rgb[i * 3 + 2] = frame_pixels[i][kBlue];
    }
    const uint8_t* const pixels[4] = {key.rgb, key.rgb + 3, key.rgb + 6, key.rgb + 9};
    // Frames repeat the same few blocks (the legend's glyphs, marks of one
    // magnitude, black): each is worked out once.
    uint32_t hash = 2166136261u;
    for (uint8_t byte : key.rgb) hash = (hash ^ byte) * 16777619u;
    Block& slot = cache_[hash & (kCacheSize - 1)];
    if (slot.used && std::memcmp(slot.rgb, key.rgb, sizeof key.rgb) == 0) return slot;
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
    return slot;
}
