// Keyboard controls: magnitude threshold, zoom, playback and quit on the
// character keys; panning on the arrow keys. Nothing here requests a redraw:
// the display callback also runs as the idle callback and shows every change
// in the next frame.
#include "view/controls.h"

#include <GL/glut.h>

#include <cstdlib>

#include "app/viewer_state.h"
#include "data/console.h"
#include "timeline/time_window.h"

namespace {

constexpr unsigned char kEscape = 27;
constexpr double kMinZoom = 0.001;  // zoom out stops before the map shrinks to nothing

void zoom_out() {
    // The candidate is rounded to float before the test, so the test sees
    // exactly the value that would be stored.
    const float candidate = static_cast<float>(viewer.zoom - viewer.zoom_step);
    if (static_cast<double>(candidate) > kMinZoom) viewer.zoom = candidate;
}

}  // namespace

void on_key(unsigned char key, int, int) {
    switch (key) {
        case kEscape:
            console_write("Exiting...", 1);
            std::exit(0);
        case '0':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
            viewer.min_magnitude = static_cast<float>(key - '0');
            break;
        case 'a':
        case 'A':
            viewer.zoom = viewer.zoom + viewer.zoom_step;
            break;
        case 'z':
        case 'Z':
            zoom_out();
            break;
        case 'g':
        case 'G':
            window_pause();
            window_step_forward();
            break;
        case 'h':
        case 'H':
            window_pause();
            window_step_back();
            break;
        case 'o':
        case 'O':
            window_reset();
            break;
        case 'p':
        case 'P':
            window_play();
            break;
        default:  // every other key is ignored
            break;
    }
}

void on_special_key(int key, int, int) {
    // The map moves opposite to the arrow: the pan is added to every drawn
    // vertex, so a left arrow shifts the map right.
    switch (key) {
        case GLUT_KEY_LEFT:
            viewer.pan_x = viewer.pan_x + viewer.pan_step_x;
            break;
        case GLUT_KEY_UP:
            viewer.pan_y = viewer.pan_y - viewer.pan_step_y;
            break;
        case GLUT_KEY_RIGHT:
            viewer.pan_x = viewer.pan_x - viewer.pan_step_x;
            break;
        case GLUT_KEY_DOWN:
            viewer.pan_y = viewer.pan_y + viewer.pan_step_y;
            break;
        default:  // function, page, Home, End and Insert keys are ignored
            break;
    }
}
