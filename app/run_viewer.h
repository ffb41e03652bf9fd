// The viewer's entry point.
#pragma once

// The entry point's whole work. Returns -1 when file names are missing, a
// file cannot be opened, the catalogue holds no entry or no display can be
// opened; 0 should the GLUT main loop ever return.
int run_viewer(int argc, char** argv);
