// GLUT window set-up as the viewer does it, then frames drawn with the
// viewer's draw_scene() and read with glReadPixels, without swapping: the
// back buffer holds exactly what the viewer's swap would show.
#include "record/offscreen_view.h"

#include <GL/freeglut.h>
#include <X11/Xlib.h>

#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/program_constants.h"
#include "app/startup.h"
#include "app/viewer_state.h"
#include "view/scene.h"

namespace {

bool exposed = false;
int window = 0;  // GLUT's window id, 0 when none is open

void on_display() { exposed = true; }

// freeglut's fatal errors (for instance a lost X connection) end the
// process with exit(), which runs the clean-up registered with atexit.
void on_glut_error(const char* format, va_list arguments) {
    std::fputs("sismap-record: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    std::exit(1);
}

void on_glut_warning(const char*, va_list) {}

int status_if_display_lost = 1;
int legend_dates_shift = 0;

// Xlib's handler for a lost connection must not return; exit() runs the
// clean-up registered with atexit (unfinished output, the server).
int on_display_lost(Display*) {
    if (status_if_display_lost != 0)
        std::fputs("sismap-record: lost the connection to the private X server\n", stderr);
    std::exit(status_if_display_lost);
}

}  // namespace

bool open_offscreen_view(const std::string& display_name, double timeout_seconds, std::string* error, int width,
                         int height) {
    static char program[] = "sismap-record";
    static char display_flag[] = "-display";
    static std::vector<char> display;
    display.assign(display_name.begin(), display_name.end());
    display.push_back('\0');
    char* argv[] = {program, display_flag, display.data(), nullptr};
    int argc = 3;
    XSetIOErrorHandler(on_display_lost);
    glutInitErrorFunc(on_glut_error);
    glutInitWarningFunc(on_glut_warning);
    window = open_viewer_window(&argc, argv, /*read_back=*/true, width, height);
    if (glutGet(GLUT_WINDOW_COLORMAP_SIZE) != 0) {
        *error = "the private X server offers no RGBA visual";
        return false;
    }
    glutDisplayFunc(on_display);
    set_up_camera();

    // The first display callback comes once the window is mapped and exposed
    // and GLUT has set the viewport from its size.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    while (!exposed) {
        glutMainLoopEvent();
        if (exposed) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            *error = "the window on the private X server was not shown within " +
                     std::to_string(static_cast<int>(timeout_seconds)) + " seconds";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void read_frame(FrameImage* image, const char* legend) {
    const int size = kWindowSize;
    if (image->width != size || image->height != size) *image = FrameImage(size, size);
    if (legend != nullptr)
        draw_scene(legend, legend_dates_shift);
    else
        draw_scene();
    // The window's own layout, which the frame keeps: the driver copies the
    // rows as they are.
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, size, size, GL_BGRA, GL_UNSIGNED_BYTE, image->bgra.data());
}

void set_legend_dates_shift(int pixels) { legend_dates_shift = pixels; }

int legend_text_pixels(const char* text) {
    return glutBitmapLength(GLUT_BITMAP_HELVETICA_18, reinterpret_cast<const unsigned char*>(text));
}

int legend_dates_right_pixel(const char* dates) {
    // Where the viewer's draw_scene places the dates' raster position.
    const double x = static_cast<double>(static_cast<int32_t>(static_cast<float>(viewer.min_x + 8.5)));
    const double y = static_cast<double>(static_cast<int32_t>(viewer.min_y));
    GLdouble model[16];
    GLdouble projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble window_x = 0.0;
    GLdouble window_y = 0.0;
    GLdouble window_z = 0.0;
    if (gluProject(x, y, 0.0, model, projection, viewport, &window_x, &window_y, &window_z) != GL_TRUE) return 0;
    return static_cast<int>(window_x) + legend_text_pixels(dates);
}

void plane_to_frame_pixels(double scale[4]) {
    // The model-view matrix stays the identity and the eye looks straight
    // down, so a point (X, Y, 0) has clip coordinates P[0] X + P[12],
    // P[5] Y + P[13] and w = P[15] (the matrix is stored column by column).
    GLdouble projection[16];
    GLint viewport[4];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    const double w = projection[15];
    scale[0] = projection[0] / w * viewport[2] / 2.0;
    scale[1] = viewport[0] + (projection[12] / w + 1.0) * viewport[2] / 2.0;
    scale[2] = projection[5] / w * viewport[3] / 2.0;
    scale[3] = viewport[1] + (projection[13] / w + 1.0) * viewport[3] / 2.0;
}

void close_offscreen_view() {
    if (window == 0) return;
    glutDestroyWindow(window);
    window = 0;
    glutExit();
}

void set_status_if_display_lost(int status) { status_if_display_lost = status; }
