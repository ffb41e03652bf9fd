// One drawn frame as 8-bit RGB pixels, rows from the top, and the rectangle
// in which two frames differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct FrameImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3 bytes, top row first

    FrameImage() = default;
    FrameImage(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0) {}

    const uint8_t* pixel(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    uint8_t* pixel(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    const uint8_t* row(int y) const { return pixel(0, y); }
};

// A pixel rectangle; empty when width or height is 0.
struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
};

// The smallest rectangle holding every pixel in which `a` and `b` differ;
// empty when they are equal. Both must have the same size.
PixelRect changed_rect(const FrameImage& a, const FrameImage& b);

// Makes `previous` equal to `frame`, which differs from it only inside
// `rect` unless `first`: then only the rectangle's rows are copied.
void keep_as_previous(const FrameImage& frame, const PixelRect& rect, bool first, FrameImage* previous);
