// The program-wide state every GLUT callback reaches directly (GLUT passes
// callbacks no context): the loaded data, the time window, and the view.
#pragma once

#include <cstdint>
#include <vector>

#include "calendar/calendar_date.h"
#include "data/data_loader.h"
#include "data/records.h"
#include "timeline/playback_mode.h"

struct ViewerState {
    std::vector<QuakeRecord> catalogue;  // in file order
    int32_t quake_count = 0;
    std::vector<LandscapePoint> points;  // the outline, in file order
    int32_t point_count = 0;

    // The drawn range is first_index <= i < last_index.
    int32_t first_index = 0;
    int32_t last_index = 0;
    CalendarDate window_first_date;  // shown in the legend
    CalendarDate window_last_date;
    int32_t mode = FullRange;  // a PlaybackMode

    float min_magnitude = 0.0f;  // entries below it are not drawn
    float zoom_step = 0.0f;
    float zoom = 0.0f;  // scale about (centre_x, centre_y)
    float pan_step_x = 0.0f;
    float pan_step_y = 0.0f;
    float pan_x = 0.0f;  // shift after the zoom, in world units
    float pan_y = 0.0f;
    float centre_x = 0.0f;  // centre of the outline's bounding box
    float centre_y = 0.0f;
    float min_x = 0.0f;  // the outline's bounding box
    float min_y = 0.0f;
    float max_x = 0.0f;
    float max_y = 0.0f;
};

extern ViewerState viewer;

// The view as the user first sees it: no zoom, the map nudged 0.6 up so the
// legend strip at the bottom covers less of it, and the mode in which the
// window spans the whole catalogue (window_reset places the window itself).
// The threshold and the centre are left as they are.
void set_view_defaults();

// Takes the outline's bounding box from the loader, as floats, and its centre,
// which the camera looks at and the zoom scales about.
void store_outline_bounds(const DataLoader& loader);
