// Which frames a recording holds. By default frames come from the viewer's
// own time window and keys: frame 0 is the window collapsed as playback
// starts it, frame k the state after k presses of 'g', and the last frame the
// step at which the window reaches the catalogue's end. In real time
// (--window, --step) they come from RealTimeFrames instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "record/real_time.h"
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

// Plans the real-time frames: orders the loaded catalogue by time, finds T0,
// the last frame and the first (--from), with `every` from the options.
// False with a message when an entry has no real time, --from is never
// reached or the recording is too long.
// `depths`, one per catalogue entry, is put in the same order.
bool plan_real_time_frames(const RecordOptions& options, RealTimeFrames* frames, FramePlan* plan,
                           std::string* error, std::vector<float>* depths = nullptr);

// Puts the ViewerState at frame k, for k growing from 0.
class FrameSequence {
public:
    virtual ~FrameSequence() = default;
    virtual void go_to(int64_t k) = 0;
    // The legend's date range to draw in place of the window's dates; null
    // when the viewer's own legend is right.
    virtual const char* legend() const = 0;
    // The dates shown, for the progress bar.
    virtual std::string dates() const = 0;
    // The window's start and end in day_measure units (--colour age).
    virtual void window_days(double* start, double* end) const = 0;
};

// The viewer's playback: presses of 'g' from frame 0, where plan_frames left
// the window.
class ViewerPlayback final : public FrameSequence {
public:
    void go_to(int64_t k) override;
    const char* legend() const override { return nullptr; }
    std::string dates() const override;
    void window_days(double* start, double* end) const override;

private:
    int64_t at_ = 0;
};

// Real-time frames: the drawn range and the legend from RealTimeFrames.
class RealTimePlayback final : public FrameSequence {
public:
    explicit RealTimePlayback(const RealTimeFrames& frames) : frames_(frames) {}
    void go_to(int64_t k) override;
    const char* legend() const override { return legend_.c_str(); }
    std::string dates() const override { return legend_; }
    void window_days(double* start, double* end) const override { frames_.window_days(at_, start, end); }

private:
    const RealTimeFrames& frames_;
    int64_t at_ = 0;
    std::string legend_;
};
