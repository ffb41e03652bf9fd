// X11 probe for the display GLUT is about to open.
#include "app/display_probe.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>

bool display_available(int argc, char** argv, const char** display_name) {
    const char* name = std::getenv("DISPLAY");
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-display") == 0) name = argv[i + 1];
    }
    *display_name = name != nullptr ? name : "";
    Display* display = XOpenDisplay(name);
    if (display == nullptr) return false;
    XCloseDisplay(display);
    return true;
}
