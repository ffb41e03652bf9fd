// Keyboard controls (to be completed).
#include "view/controls.h"

#include <cstdlib>

#include "data/console.h"

void on_key(unsigned char key, int, int) {
    if (key == 27) {
        console_write("Exiting...", 1);
        std::exit(0);
    }
}

void on_special_key(int, int, int) {}
