// The three states of the time window.
#pragma once

#include <cstdint>

enum PlaybackMode : int32_t {
    FullRange = 0,  // the window spans the whole catalogue; the timer does nothing
    Playing = 1,    // every timer tick steps the window forward
    Paused = 2,     // the window moves only through the step keys
};
