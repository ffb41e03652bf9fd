// Drawing of one whole frame: the marks of the time window, the outline and
// the legend.
#pragma once

#include <cstddef>
#include <cstdint>

// GLUT display and idle callback: draws the frame into the back buffer and
// shows it.
void display_scene();

// The whole frame from the ViewerState into the current draw buffer, without
// showing it; the recorder reads the pixels from there.
void draw_scene();
// The same frame with `dates_text` as the legend's date range (the
// recorder's real-time frames, which show instants the window's dates do not),
// moved `dates_shift_pixels` to the right (left when negative) of its place.
void draw_scene(const char* dates_text, int dates_shift_pixels = 0);

// The legend's magnitude text for the present threshold, into `text` of
// `size` bytes (16 hold any).
void format_magnitude_legend(char* text, size_t size);

// Writes `text` in GLUT's 18-point Helvetica starting at (x, y) in world
// coordinates, in the current colour.
void draw_text(int32_t x, int32_t y, const char* text);

// The zoom about the outline's centre followed by the pan, fixed for one
// frame. Marks and outline go through it; the legend does not.
struct ViewTransform {
    float centre_x;
    float centre_y;
    float zoom;
    float offset_x;  // centre_x + pan_x
    float offset_y;  // centre_y + pan_y

    // A coordinate given as its distance from the centre, already evaluated
    // in double; the one conversion to float happens here.
    float screen_x(double from_centre) const { return static_cast<float>(from_centre * zoom + offset_x); }
    float screen_y(double from_centre) const { return static_cast<float>(from_centre * zoom + offset_y); }
};

// The view of the ViewerState's present zoom and pan.
ViewTransform current_view();

// Half the length of a mark's bars for magnitude m, in world units.
inline float mark_half_size(float magnitude) { return magnitude * 0.025f; }

// Green component of a mark's colour: 1 at magnitude 3 (yellow), 0 at 8
// (red); not clamped, the graphics library clamps it.
inline float mark_green(float magnitude) { return static_cast<float>((8.0 - magnitude) / 5.0); }

// The four vertices of the plus-shaped mark centred on (x, y) with half-size
// s, as x/y pairs in drawing order: left, right, bottom, top. Each coordinate
// is worked out in double from the float inputs and rounded once, so a frame
// gives the same vertices bit for bit on every machine. Written into `out`
// so that a caller can fill a vertex array directly.
inline void mark_vertices(const ViewTransform& view, float x, float y, float s, float out[8]) {
    const double from_centre_x = static_cast<double>(x) - view.centre_x;
    const double from_centre_y = static_cast<double>(y) - view.centre_y;
    const double left = static_cast<double>(x) - s - view.centre_x;
    const double right = static_cast<double>(x) + s - view.centre_x;
    const double bottom = static_cast<double>(y) - s - view.centre_y;
    const double top = static_cast<double>(y) + s - view.centre_y;
    out[0] = view.screen_x(left);
    out[1] = view.screen_y(from_centre_y);
    out[2] = view.screen_x(right);
    out[3] = view.screen_y(from_centre_y);
    out[4] = view.screen_x(from_centre_x);
    out[5] = view.screen_y(bottom);
    out[6] = view.screen_x(from_centre_x);
    out[7] = view.screen_y(top);
}

// One outline vertex through the view: the distance from the centre is
// stored as a float first, then scaled and shifted in double.
inline void outline_vertex(const ViewTransform& view, int32_t x, int32_t y, float out[2]) {
    const float from_centre_x = static_cast<float>(x) - view.centre_x;
    const float from_centre_y = static_cast<float>(y) - view.centre_y;
    out[0] = view.screen_x(from_centre_x);
    out[1] = view.screen_y(from_centre_y);
}
