// The MP4 writer's colour conversion: RGB frames to BT.601 limited-range
// yuv420p that keeps the viewer's one-pixel coloured lines their colour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "record/frame_image.h"

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
    // Only the 2x2 blocks that meet `rect`, leaving the rest of the planes
    // as they are: for a frame that differs from the one already in them
    // only there.
    void convert(const FrameImage& frame, const PixelRect& rect, uint8_t* y, int y_stride, uint8_t* u, int u_stride,
                 uint8_t* v, int v_stride);

private:
    struct Block {
        uint8_t rgb[12];  // the four pixels, row by row
        uint8_t luma[4];
        uint8_t u = 0;
        uint8_t v = 0;
        bool used = false;
    };
    static constexpr size_t kCacheSize = 1 << 16;
    // `pixels`: the block's four R, G, B triplets, row by row.
    void convert_block(const uint8_t* const pixels[4], uint8_t luma[4], uint8_t* u, uint8_t* v);
    // The cache's slot for the block of four frame pixels, worked out if not
    // there.
    const Block& look_up(const uint8_t* const frame_pixels[4]);
    std::vector<Block> cache_;
};

// The RGB a player shows for luma `y` and chroma `u`, `v` (BT.601, limited
// range, clipped), as the conversion assumes.
void yuv_to_rgb(int y, int u, int v, uint8_t rgb[3]);
