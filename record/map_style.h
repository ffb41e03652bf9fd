// Map mode's looks, worked out without drawing: the colours of the three
// colourings, the marks' size in pixels, the frame's split into map and keys
// band, and the camera that frames the outline in the map's part.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "data/records.h"
#include "view/scene.h"

enum class Colouring { Magnitude, Depth, Age };

struct Rgb {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
};

// The viewer's colour of a mark of magnitude m: yellow at 3 and below to red
// at 8 and above.
Rgb magnitude_colour(float magnitude);

// Events without a depth, in the depth colouring.
inline constexpr Rgb kUnknownDepthColour{0.55f, 0.55f, 0.55f};

// The depth class of `depth_km` among the classes split at `bounds` (km,
// ascending): 0 above the first bound, bounds.size() at or below the last;
// -1 for an unknown (NaN) depth.
int depth_class(float depth_km, const std::vector<double>& bounds);

// Colour of class `k` of `count`, from one colour-blind-safe sequential
// scale (viridis): the shallowest warm yellow, the deepest cool blue, all
// bright enough to read on black. Grey for k = -1.
Rgb depth_class_colour(int k, int count);

// The magnitude colour dimmed with age: full at `newness` 1 (the window's
// end), a quarter of its brightness at 0 (the window's start).
Rgb aged_colour(float magnitude, double newness);

// Half the length of a mark's bars in pixels for a frame `frame_height`
// pixels high: what the viewer's start-up view gives it in its 650-pixel
// window, scaled by frame_height / 650, and at least 2.
double mark_half_pixels(float magnitude, int frame_height);
// The same without its least size: pixels per unit of magnitude.
double mark_pixels_per_magnitude(int frame_height);
inline constexpr double kLeastMarkHalfPixels = 2.0;

// The height in pixels of a capital letter of the keys' text.
double key_cap_height(int frame_width, int frame_height);

// "70,300": class bounds in km, ascending and above 0; false with a message.
bool parse_depth_classes(const std::string& text, std::vector<double>* bounds, std::string* error);

// One thing in the keys band: its size in pixels.
struct KeyBox {
    double width = 0.0;
    double height = 0.0;
};

// Where each box goes (its lower-left corner, pixels from the frame's
// lower-left), and how high the band is. Boxes are placed left to right in
// rows from the top of the band down, a new row when the next box would pass
// the right margin, so no two overlap and none leaves the frame unless it is
// wider than the frame itself.
struct BandLayout {
    double height = 0.0;
    std::vector<KeyBox> placed;  // x in width, y in height: the corner
};
BandLayout lay_out_band(const std::vector<KeyBox>& boxes, int frame_width, double cap_height);

// The world rectangle the map part shows: the outline's bounds with a margin
// of `margin` of the map's size on every side, widened in one direction to
// the map part's aspect (map_width x map_height pixels).
struct WorldWindow {
    double left = 0.0;
    double right = 0.0;
    double bottom = 0.0;
    double top = 0.0;
};
WorldWindow frame_outline(double min_x, double min_y, double max_x, double max_y, int map_width, int map_height,
                          double margin);

// The pieces of the line through `points` (pixels) drawn when it is
// dashed: `length` pixels drawn from its start, `length` left out, and so
// on along the whole line.
std::vector<std::vector<std::pair<double, double>>> dashes(const std::vector<std::pair<double, double>>& points,
                                                           double length);

// Which vertices of a coast line (longitude, latitude pairs in `xy`) a frame
// draws under `view`: a full-resolution coast has many vertices to a pixel,
// and those within `least` (world units after zoom and pan, half a pixel)
// of the last one kept add nothing but drawing time, so they are left out,
// but for the line's ends. The indices count pairs. The recorder lists its
// lines so, and the page ships and redraws the same.
std::vector<size_t> coast_vertices_drawn(const std::vector<float>& xy, const ViewTransform& view, double least);

// Whole days on a 365-day count with the hours of the day as a fraction: a
// measure for ages within a window, the same for events and for the window.
double day_measure(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// A catalogue entry's date and time on that measure, for --colour age.
double entry_day_measure(const QuakeRecord& quake);
