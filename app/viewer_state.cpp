// The one ViewerState of the process.
#include "app/viewer_state.h"

ViewerState viewer;

void store_outline_bounds(const DataLoader& loader) {
    viewer.max_x = static_cast<float>(loader.max_x());
    viewer.min_x = static_cast<float>(loader.min_x());
    viewer.max_y = static_cast<float>(loader.max_y());
    viewer.min_y = static_cast<float>(loader.min_y());
    viewer.centre_x = (viewer.max_x + viewer.min_x) / 2;
    viewer.centre_y = (viewer.max_y + viewer.min_y) / 2;
}

void set_view_defaults() {
    viewer.zoom_step = 0.01f;
    viewer.zoom = 1.0f;
    viewer.pan_step_x = 0.1f;
    viewer.pan_step_y = 0.1f;
    viewer.pan_x = 0.0f;
    viewer.pan_y = 0.6f;
    viewer.mode = FullRange;
}
