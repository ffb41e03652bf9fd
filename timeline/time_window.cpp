// Time window operations (to be completed).
#include "timeline/time_window.h"

#include <GL/glut.h>

#include "app/viewer_state.h"

void window_step_forward() {}
void window_step_back() {}
int32_t find_window_end(const CalendarDate&) { return viewer.first_index; }
void window_collapse() {}
void window_pause() {}
void window_play() {}

void window_reset() {
    viewer.mode = FullRange;
    viewer.first_index = 0;
    viewer.last_index = viewer.quake_count - 1;
    viewer.window_first_date.set(viewer.catalogue[viewer.first_index].date);
    viewer.window_last_date.set(viewer.catalogue[viewer.last_index].date);
}

void on_timer(int) { glutTimerFunc(50, on_timer, 1); }
