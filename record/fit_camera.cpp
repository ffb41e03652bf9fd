// The framing is found by bisection on the visible side: the texts' world
// size grows with it (their pixel size is fixed), more slowly than the frame
// does, so whether everything fits only changes once.
#include "record/fit_camera.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double kHalfFieldTangent = 0.57735026918962576;  // tan(30 degrees)
// Above the baseline and below it, in pixels: the bitmap font's tallest
// glyph and its deepest descender, with a pixel to spare.
constexpr double kTextAscent = 18.0;
constexpr double kTextDescent = 6.0;

struct Box {
    double left, bottom, right, top;
};

// Everything drawn, in world units, when the frame is `side` units across.
Box content_box(const FitContent& c, double side, int frame_pixels) {
    const double unit = side / frame_pixels;  // world units per pixel
    // As the viewer places them: the strip from 0.1 left of the bounds, 0.2
    // below to 0.5 above the lowest y; the texts at the truncated lower-left
    // corner and 8.5 units to its right.
    const double text_x = std::trunc(static_cast<double>(c.min_x));
    const double text_y = std::trunc(static_cast<double>(c.min_y));
    const double dates_x = std::trunc(static_cast<double>(c.min_x) + 8.5);
    Box box{c.min_x + static_cast<double>(c.pan_x), c.min_y + static_cast<double>(c.pan_y),
            c.max_x + static_cast<double>(c.pan_x), c.max_y + static_cast<double>(c.pan_y)};
    box.left = std::min({box.left, c.min_x - 0.1, text_x, dates_x});
    box.right = std::max({box.right, c.max_x - 0.1, text_x + c.magnitude_text_pixels * unit,
                          dates_x + c.dates_text_pixels * unit});
    box.bottom = std::min({box.bottom, c.min_y - 0.2, text_y - kTextDescent * unit});
    box.top = std::max({box.top, c.min_y + 0.5, text_y + kTextAscent * unit});
    return box;
}

bool fits(const FitContent& c, double side, int frame_pixels, double margin) {
    const Box box = content_box(c, side, frame_pixels);
    const double usable = side * (1.0 - 2.0 * margin);
    return box.right - box.left <= usable && box.top - box.bottom <= usable;
}

}  // namespace

double visible_side(double eye_height) { return 2.0 * eye_height * kHalfFieldTangent; }

CameraPlace fit_camera(const FitContent& content, int frame_pixels, double margin) {
    double low = 1e-6;
    double high = 1e9;  // world units; no outline comes near
    for (int i = 0; i < 200 && high - low > high * 1e-12; ++i) {
        const double middle = std::sqrt(low * high) > 0.0 ? std::sqrt(low * high) : (low + high) / 2;
        if (fits(content, middle, frame_pixels, margin))
            high = middle;
        else
            low = middle;
    }
    const Box box = content_box(content, high, frame_pixels);
    CameraPlace place;
    place.centre_x = (box.left + box.right) / 2.0;
    place.centre_y = (box.bottom + box.top) / 2.0;
    place.eye_height = high / (2.0 * kHalfFieldTangent);
    return place;
}
