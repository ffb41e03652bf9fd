// Start-up: check the command line, load both files, fill the ViewerState,
// open the window with its camera, register the callbacks and run the loop.
#pragma once

// Loads both files into the ViewerState and sets it as the user first sees
// it: view defaults, the window over the whole catalogue, the day step and
// the outline's bounds. Writes the loader's lines and, when the catalogue
// holds no entry, its message; false on any failure. No graphics calls, so
// the recorder and the benchmarks start from exactly the viewer's state.
bool load_viewer_state(const char* landscape_path, const char* quake_path);

// Connects GLUT (which takes its own options, such as -display, from argv)
// and opens the viewer's window: double-buffered RGBA with depth, 650 x 650
// at the screen's corner, titled "Zorvane". Returns GLUT's window id.
int open_viewer_window(int* argc, char** argv);

// The projection and camera, once a GL context is current: straight down at
// the outline's centre.
void set_up_camera();

// The entry point's whole work. Returns -1 when file names are missing, a
// file cannot be opened, the catalogue holds no entry or no display can be
// opened; 0 should the GLUT main loop ever return.
int run_viewer(int argc, char** argv);
