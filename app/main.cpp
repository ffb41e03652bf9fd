// sismap: an interactive earthquake-catalogue viewer.
#include "app/run_viewer.h"

int main(int argc, char** argv) { return run_viewer(argc, argv); }
