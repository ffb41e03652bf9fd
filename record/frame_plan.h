// Which frames a recording holds. Frames come from the viewer's own time
// window and keys: frame 0 is the window collapsed as playback starts it,
// frame k the state after k presses of 'g', and the last frame the step at
// which the window reaches the catalogue's end.
#pragma once

#include <cstdint>
#include <string>

#include "record/record_options.h"

// Sets the threshold through the viewer's own threshold key, then the zoom
// and the pan on top of the start-up view. Call after load_viewer_state.
void apply_view_options(const RecordOptions& options);

// Collapses the window to the first 30 days, as starting playback does.
void start_playback();
// One press of 'g': pause, then one step forward.
void step_forward();
// True once the window's end has passed the catalogue's last entry; further
// steps change nothing.
bool window_at_end();

// The frames to write: those from `first` to `last` that are a multiple of
// `every` after `first`, plus `last` itself.
struct FramePlan {
    int64_t first = 0;
    int64_t last = 0;
    int64_t every = 1;

    bool keeps(int64_t k) const { return k >= first && k <= last && ((k - first) % every == 0 || k == last); }
    // How many frames keeps() accepts.
    int64_t kept_count() const { return (last - first) / every + 1 + ((last - first) % every != 0 ? 1 : 0); }
};

// Playback longer than this many frames is refused rather than recorded for
// days: it only happens with dates far outside the rest of the catalogue.
inline constexpr int64_t kMaxFrames = 2000000;

// Plays the loaded catalogue through once without drawing to find the frame
// range (--from, --every), then puts the window back at frame 0. False with
// a message when --from is never reached or the playback is too long.
bool plan_frames(const RecordOptions& options, FramePlan* plan, std::string* error);
