// Whether an X display can be opened, asked before GLUT is initialised so a
// failed start can explain itself instead of GLUT's one-line error.
#pragma once

// True when the display named by a "-display NAME" argument, or else by
// $DISPLAY, accepts a connection. `display_name` receives the name tried
// ("" when none was set).
bool display_available(int argc, char** argv, const char** display_name);
