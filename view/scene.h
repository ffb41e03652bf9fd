// Drawing of one whole frame: the marks of the time window, the outline and
// the legend.
#pragma once

#include <cstdint>

// GLUT display and idle callback: redraws everything from the ViewerState.
void display_scene();

// Writes `text` in GLUT's 18-point Helvetica starting at (x, y) in world
// coordinates, in the current colour.
void draw_text(int32_t x, int32_t y, const char* text);
