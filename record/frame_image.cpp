// The changed rectangle, found row by row with memcmp: whole equal rows are
// skipped at memory speed, and only rows that differ are scanned for their
// first and last differing pixel.
#include "record/frame_image.h"

#include <algorithm>
#include <cstring>

FrameImage::FrameImage(int w, int h) : width(w), height(h), bgra(static_cast<size_t>(w) * h * kPixelBytes, 0) {
    for (size_t i = 3; i < bgra.size(); i += kPixelBytes) bgra[i] = 255;
}

PixelRect changed_rect(const FrameImage& a, const FrameImage& b) {
    const size_t row_bytes = static_cast<size_t>(a.width) * kPixelBytes;
    int top = -1;
    int bottom = -1;
    int left = a.width;
    int right = -1;
    for (int y = 0; y < a.height; ++y) {
        const uint8_t* ra = a.row(y);
        const uint8_t* rb = b.row(y);
        if (std::memcmp(ra, rb, row_bytes) == 0) continue;
        if (top < 0) top = y;
        bottom = y;
        int x = 0;
        while (x < left && std::memcmp(ra + x * kPixelBytes, rb + x * kPixelBytes, kPixelBytes) == 0) ++x;
        left = std::min(left, x);
        int z = a.width - 1;
        while (z > right && std::memcmp(ra + z * kPixelBytes, rb + z * kPixelBytes, kPixelBytes) == 0) --z;
        right = std::max(right, z);
    }
    if (top < 0) return PixelRect{};
    return PixelRect{left, top, right - left + 1, bottom - top + 1};
}

void keep_as_previous(const FrameImage& frame, const PixelRect& rect, FrameImage* previous) {
    if (previous->width != frame.width || previous->height != frame.height) {
        *previous = frame;
        return;
    }
    for (int y = rect.top; y < rect.top + rect.height; ++y)
        std::memcpy(previous->pixel(rect.left, y), frame.pixel(rect.left, y),
                    static_cast<size_t>(rect.width) * kPixelBytes);
}
