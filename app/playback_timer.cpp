#include "app/playback_timer.h"

#include <GL/glut.h>

#include "app/program_constants.h"
#include "timeline/time_window.h"

void on_timer(int) {
    window_tick();
    glutTimerFunc(kTimerMilliseconds, on_timer, 1);
}
