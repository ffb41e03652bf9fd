// Flushed console output for progress, error and exit messages.
#include "data/console.h"

#include <cstdio>

void console_write(const char* text, int line_breaks) {
    std::fputs(text, stdout);
    for (int i = 0; i < line_breaks; ++i) {
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (line_breaks == 0) std::fflush(stdout);
}
