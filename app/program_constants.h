// Values that the viewer, the recorder and the importer share, each defined
// once here: the window the viewer opens and the playback timer.
#pragma once

// Title of the viewer's window; scripts and tests find the window by it.
inline constexpr char kWindowTitle[] = "Zorvane";
// Side of the square window, in pixels.
inline constexpr int kWindowSize = 650;
// Delay between two playback steps, in milliseconds (20 steps a second).
inline constexpr int kTimerMilliseconds = 50;
