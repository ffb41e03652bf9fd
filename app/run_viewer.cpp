// The viewer's own start: check the command line, load, probe the display,
// open the window, register the callbacks and run the loop. Only the
// viewer's executable holds it (with the display probe).
#include "app/run_viewer.h"

#include <GL/glut.h>

#include <cstdlib>
#include <string>

#include "app/display_probe.h"
#include "app/playback_timer.h"
#include "app/program_constants.h"
#include "app/startup.h"
#include "app/viewer_state.h"
#include "data/console.h"
#include "view/controls.h"
#include "view/scene.h"

namespace {

void explain_missing_display(const char* display_name) {
    std::string text = std::string("Cannot open the X display \"") + display_name +
                       "\": sismap needs a graphical display for its window.";
    console_write(text.c_str(), 1);
    console_write("To run it without a screen, start it under a virtual X server, for example:", 1);
    console_write("  xvfb-run -a sismap landscape.txt data.txt", 2);
}

}  // namespace

int run_viewer(int argc, char** argv) {
    if (argc < 3) {
        set_view_defaults();
        console_write("'sismap' must have two valid filenames as parameters", 1);
        console_write("usage: sismap landscape.txt data.txt", 2);
        return -1;
    }
    if (!load_viewer_state(argv[1], argv[2])) return -1;

    const char* display_name = "";
    if (!display_available(argc, argv, &display_name)) {
        explain_missing_display(display_name);
        return -1;
    }

    open_viewer_window(&argc, argv);
    if (glutGet(GLUT_WINDOW_COLORMAP_SIZE) != 0) {
        console_write("Error: Invalud RGBA colormap size", 1);
        std::exit(1);
    }

    glutKeyboardFunc(on_key);
    glutSpecialFunc(on_special_key);
    glutDisplayFunc(display_scene);
    glutIdleFunc(display_scene);
    glutTimerFunc(kTimerMilliseconds, on_timer, 1);

    set_up_camera();
    glutMainLoop();
    return 0;
}
