// The viewer's own window, opened on the recorder's private X server and
// never shown to anyone: same display mode, size, title and camera, drawn by
// the viewer's draw_scene(). Frames are read back from the back buffer.
#pragma once

#include <string>

#include "record/frame_image.h"

// Initialises GLUT on `display_name`, creates the window, waits (at most
// `timeout_seconds`) until the server has mapped and exposed it, and sets
// the camera. False with a message otherwise.
// `width` x `height` is the viewer's 650 x 650 unless map mode asks for more.
bool open_offscreen_view(const std::string& display_name, double timeout_seconds, std::string* error,
                         int width = 650, int height = 650);

// Draws the current ViewerState into the back buffer and reads it into
// `image`; with `legend`, that is the legend's date range.
void read_frame(FrameImage* image, const char* legend = nullptr);

// From now on the legend's dates are drawn `pixels` right (left when
// negative) of the viewer's place for them.
void set_legend_dates_shift(int pixels);

// Width in pixels of `text` in the legend's font; once the view is open.
int legend_text_pixels(const char* text);

// The window column just right of the viewer's legend dates when they read
// `dates`, as the present camera places them.
int legend_dates_right_pixel(const char* dates);

// Where the drawing plane lands in the frame under the camera in place (the
// viewer's, or --fit's): pixels from the frame's left and bottom edges are
// x = X * scale[0] + scale[1] and y = Y * scale[2] + scale[3].
void plane_to_frame_pixels(double scale[4]);

// Destroys the window and closes GLUT's connection; call before the X
// server goes, or the graphics libraries' own clean-up at exit would find
// the connection gone and fail the process. Safe to repeat.
void close_offscreen_view();

// The exit status should the X connection be lost from now on: Xlib then
// ends the process, and frames drawn so far are unaffected (they are drawn
// in the process's own memory). 1 until the caller has its output in place;
// then 0, since only the closing of the window is left to fail.
void set_status_if_display_lost(int status);
