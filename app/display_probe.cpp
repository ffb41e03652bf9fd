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
    // The connection stays open for the life of the process: were the probe
    // the server's only client, closing it would make a fresh X server
    // reset, and it would refuse GLUT's own connection a moment later.
    static Display* probe = nullptr;
    if (probe == nullptr) probe = XOpenDisplay(name);
    return probe != nullptr;
}
