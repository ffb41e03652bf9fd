// Start-up pieces shared by the viewer, the recorder and the benchmarks:
// loading both files into the ViewerState, the window and the camera.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/records.h"

// How load_viewer_state reports.
struct LoadSettings {
    bool quiet = false;  // no "Trying to open" lines (failures are still written)
    // When set, the import hint for a catalogue in another layout is stored
    // here instead of written, and loading stops there with false (the
    // recorder refuses such a catalogue).
    std::string* layout_hint = nullptr;
    // When set, called on the catalogue as read, before the window is
    // placed on it, to leave entries out (the recorder's --depth); false
    // stops loading.
    std::function<bool(std::vector<QuakeRecord>&)> select;
    // When set, the catalogue's depths, one per entry as read (NaN without
    // one), from the same reading of the file: a pipe can be read once.
    std::vector<float>* depths = nullptr;
};

// Loads both files into the ViewerState and sets it as the user first sees
// it: view defaults, the window over the whole catalogue, the day step and
// the outline's bounds. Writes the loader's lines and, when the catalogue
// holds no entry, its message; false on any failure. No graphics calls, so
// the recorder and the benchmarks start from exactly the viewer's state.
bool load_viewer_state(const char* landscape_path, const char* quake_path, const LoadSettings& settings = {});

// Connects GLUT (which takes its own options, such as -display, from argv)
// and opens the viewer's window: double-buffered RGBA with depth, 650 x 650
// at the screen's corner, titled "Zorvane". Returns GLUT's window id.
// With `read_back`, the window is made for reading its pixels back instead:
// no depth buffer (nothing is drawn with the depth test, so the pixels are
// the same and each clear costs half) and an alpha channel (the pixels are
// then stored as B, G, R, A bytes, which glReadPixels copies unconverted).
// `width` and `height` are the viewer's own unless the recorder's map mode
// asks for another frame size.
int open_viewer_window(int* argc, char** argv, bool read_back = false, int width = 650, int height = 650);

// The projection and camera, once a GL context is current: straight down at
// the outline's centre.
void set_up_camera();
