// The one ViewerState of the process.
#include "app/viewer_state.h"

ViewerState viewer;

void set_view_defaults() {
    viewer.zoom_step = 0.01f;
    viewer.zoom = 1.0f;
    viewer.pan_step_x = 0.1f;
    viewer.pan_step_y = 0.1f;
    viewer.pan_x = 0.0f;
    viewer.pan_y = 0.6f;
    viewer.mode = FullRange;
}
