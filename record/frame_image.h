// One drawn frame, and the rectangle in which two frames differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The bytes of one pixel: blue, green, red, alpha.
constexpr int kBlue = 0;
constexpr int kGreen = 1;
constexpr int kRed = 2;
constexpr int kPixelBytes = 4;

// 8-bit B, G, R, A pixels stored as the recorder's window holds them, bottom
// row first, so that a frame is read back into it without a copy or a
// conversion. Pixels are addressed with y counted from the top. Alpha is
// always 255.
struct FrameImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgra;  // width * height * 4 bytes, bottom row first

    FrameImage() = default;
    FrameImage(int w, int h);  // opaque black

    const uint8_t* pixel(int x, int y) const { return &bgra[offset(x, y)]; }
    uint8_t* pixel(int x, int y) { return &bgra[offset(x, y)]; }
    const uint8_t* row(int y) const { return pixel(0, y); }
    // The pixel's colour as 0xRRGGBB.
    uint32_t rgb(int x, int y) const {
        const uint8_t* p = pixel(x, y);
        return (uint32_t{p[kRed]} << 16) | (uint32_t{p[kGreen]} << 8) | p[kBlue];
    }
    void set_rgb(int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
        uint8_t* p = pixel(x, y);
        p[kRed] = red;
        p[kGreen] = green;
        p[kBlue] = blue;
    }

private:
    size_t offset(int x, int y) const {
        return (static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * kPixelBytes;
    }
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
// `rect`, by copying that rectangle's rows; the whole frame when `previous`
// is of another size (empty, before the first frame).
void keep_as_previous(const FrameImage& frame, const PixelRect& rect, FrameImage* previous);
