// --fit: a camera that frames the outline and the legend whole, whatever the
// region's size, with a margin on every side. The viewer's own camera (a
// fixed height above the outline's centre) stays as it is; this one only
// moves the eye, so the scene is drawn exactly as the viewer draws it.
#pragma once

// What is framed, in world units as the viewer places it at zoom 1: the
// outline's bounds, shifted by the start-up pan as the outline is drawn,
// the legend's strip and its two texts (whose size is in pixels, the
// viewer's bitmap font).
struct FitContent {
    float min_x = 0.0f;  // the outline's bounds, as the ViewerState holds them
    float min_y = 0.0f;
    float max_x = 0.0f;
    float max_y = 0.0f;
    float pan_x = 0.0f;  // the start-up pan
    float pan_y = 0.0f;
    int magnitude_text_pixels = 0;  // widths of the legend's two texts
    int dates_text_pixels = 0;
};

// Where the eye goes: straight down at (centre_x, centre_y) from height
// eye_height, with the viewer's 60-degree field of view.
struct CameraPlace {
    double centre_x = 0.0;
    double centre_y = 0.0;
    double eye_height = 0.0;
};

// Side of the visible square on the drawing plane seen from `eye_height`.
double visible_side(double eye_height);

// The lowest eye that shows all of `content` within the middle
// (1 - 2 * margin) of a square frame of `frame_pixels`.
CameraPlace fit_camera(const FitContent& content, int frame_pixels, double margin);
