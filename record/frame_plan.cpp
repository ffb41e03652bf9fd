// Frame selection over the viewer's time window, or over real time. Every
// change of the viewer's window goes through its own key handler and window
// operations, so the recorder cannot drift from what the viewer shows.
#include "record/frame_plan.h"

#include <algorithm>
#include <cstdio>

#include "app/viewer_state.h"
#include "calendar/calendar_date.h"
#include "record/map_style.h"
#include "timeline/time_window.h"
#include "view/controls.h"

void apply_view_options(const RecordOptions& options) {
    on_key(static_cast<unsigned char>('0' + options.min_magnitude), 0, 0);
    if (options.zoom_given) viewer.zoom = options.zoom;
    viewer.pan_x = viewer.pan_x + options.pan_x;
    viewer.pan_y = viewer.pan_y + options.pan_y;
}

void start_playback() {
    // From the full range, pausing collapses the window exactly as 'p' does;
    // unlike 'p' it leaves the mode Paused, which is what 'g' leaves too.
    window_pause();
}

void step_forward() { on_key('g', 0, 0); }

bool window_at_end() {
    const int64_t entries = std::min<int64_t>(viewer.quake_count, static_cast<int64_t>(viewer.catalogue.size()));
    return viewer.last_index >= entries;
}

bool plan_frames(const RecordOptions& options, FramePlan* plan, std::string* error) {
    bool from_reached = !options.from_given;
    int64_t first = 0;
    int64_t k = 0;
    start_playback();
    for (;;) {
        if (!from_reached && !viewer.window_first_date.is_before(options.from)) {
            from_reached = true;
            first = k;
        }
        if (window_at_end()) break;
        if (k >= kMaxFrames) {
            *error = "the playback would last more than " + std::to_string(kMaxFrames) +
                     " frames; check the catalogue for dates far from the others";
            return false;
        }
        step_forward();
        ++k;
    }
    const std::string last_start = viewer.window_first_date.text();
    window_reset();
    start_playback();
    if (!from_reached) {
        char wanted[16];
        std::snprintf(wanted, sizeof wanted, "%04d/%02d/%02d", options.from.year, options.from.month,
                      options.from.day);
        *error = std::string("--from ") + wanted + " is never reached: the last window starts on " + last_start;
        return false;
    }
    plan->first = first;
    plan->last = k;
    plan->every = options.every;
    return true;
}

bool plan_real_time_frames(const RecordOptions& options, RealTimeFrames* frames, FramePlan* plan,
                           std::string* error, std::vector<float>* depths) {
    if (!frames->prepare(viewer.catalogue, options.quake_path, options.window_seconds, options.step_seconds,
                         kMaxFrames, error, depths))
        return false;
    viewer.quake_count = static_cast<int32_t>(viewer.catalogue.size());
    int64_t first = 0;
    if (options.from_given) {
        first = frames->first_frame_from(options.from);
        if (first < 0) {
            *error = std::string("--from ") + options.from.text() + " is never reached: the last window starts at " +
                     frames->start_text(frames->last_frame());
            return false;
        }
    }
    plan->first = first;
    plan->last = frames->last_frame();
    plan->every = options.every;
    return true;
}

void ViewerPlayback::go_to(int64_t k) {
    for (; at_ < k; ++at_) step_forward();
}

std::string ViewerPlayback::dates() const {
    return std::string(viewer.window_first_date.text()) + " - " + viewer.window_last_date.text();
}

void ViewerPlayback::window_days(double* start, double* end) const {
    const CalendarDate& first = viewer.window_first_date;
    const CalendarDate& last = viewer.window_last_date;
    *start = day_measure(first.year, first.month, first.day);
    *end = day_measure(last.year, last.month, last.day);
}

void RealTimePlayback::go_to(int64_t k) {
    at_ = k;
    frames_.entries(k, &viewer.first_index, &viewer.last_index);
    legend_ = frames_.legend(k);
}
