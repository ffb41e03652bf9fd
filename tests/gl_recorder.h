// A recording stand-in for the gl*/glut*/glu* functions the viewer calls.
// Unit tests link it instead of OpenGL and GLUT, so they can assert the exact
// calls of a frame or of window set-up without a display.
#pragma once

#include <string>
#include <vector>

// One recorded call: its name, its numeric arguments (floats widen to double
// exactly, so they compare bit for bit) and, for window titles, its text.
struct GlCall {
    std::string name;
    std::vector<double> args;
    std::string text;
    const void* pointer = nullptr;  // font handle of glutBitmapCharacter

    bool operator==(const GlCall& other) const {
        return name == other.name && args == other.args && text == other.text && pointer == other.pointer;
    }
};

namespace gl_recorder {

std::vector<GlCall>& calls();
void reset();

// What the stand-in's glutGet(GLUT_WINDOW_COLORMAP_SIZE) answers.
void set_colormap_size(int size);
// What the stand-in's display probe answers.
void set_display_available(bool available);

// The callbacks registered through the stand-in, for tests to fire.
struct Callbacks {
    void (*keyboard)(unsigned char, int, int) = nullptr;
    void (*special)(int, int, int) = nullptr;
    void (*display)() = nullptr;
    void (*idle)() = nullptr;
    void (*timer)(int) = nullptr;
    unsigned timer_delay = 0;
    int timer_value = 0;
};
Callbacks& callbacks();

// The calls named `name`, in order.
std::vector<GlCall> calls_named(const std::string& name);
// The characters drawn by consecutive glutBitmapCharacter calls after each
// glRasterPos2f, one string per raster position.
std::vector<std::string> texts();

}  // namespace gl_recorder
