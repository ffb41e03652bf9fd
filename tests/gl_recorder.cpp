// Recording definitions of the gl*/glut*/glu* functions the viewer uses.
#include "tests/gl_recorder.h"

#include <GL/glut.h>

#include <initializer_list>

#include "app/display_probe.h"

namespace gl_recorder {
namespace {
std::vector<GlCall> recorded;
Callbacks registered;
int colormap_size = 0;
bool display_ok = true;
}  // namespace

std::vector<GlCall>& calls() { return recorded; }

void reset() {
    recorded.clear();
    registered = Callbacks();
    colormap_size = 0;
    display_ok = true;
}

void set_colormap_size(int size) { colormap_size = size; }
void set_display_available(bool available) { display_ok = available; }
Callbacks& callbacks() { return registered; }
int colormap_size_for_test() { return colormap_size; }
bool display_ok_for_test() { return display_ok; }

std::vector<GlCall> calls_named(const std::string& name) {
    std::vector<GlCall> found;
    for (const GlCall& call : recorded)
        if (call.name == name) found.push_back(call);
    return found;
}

std::vector<std::string> texts() {
    std::vector<std::string> found;
    for (const GlCall& call : recorded) {
        if (call.name == "glRasterPos2f") found.emplace_back();
        if (call.name == "glutBitmapCharacter" && !found.empty())
            found.back().push_back(static_cast<char>(static_cast<int>(call.args[0])));
    }
    return found;
}

}  // namespace gl_recorder

namespace {
void record(const char* name, std::initializer_list<double> args) {
    gl_recorder::calls().push_back(GlCall{name, std::vector<double>(args), std::string(), nullptr});
}
}  // namespace

bool display_available(int, char**, const char** display_name) {
    *display_name = ":test";
    return gl_recorder::display_ok_for_test();
}

extern "C" {

// freeglut's font handle is the address of this object.
void* glutBitmapHelvetica18 = nullptr;

void glClear(GLbitfield mask) { record("glClear", {static_cast<double>(mask)}); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { record("glColor3f", {r, g, b}); }
void glBegin(GLenum mode) { record("glBegin", {static_cast<double>(mode)}); }
void glEnd() { record("glEnd", {}); }
void glVertex2f(GLfloat x, GLfloat y) { record("glVertex2f", {x, y}); }
void glRasterPos2f(GLfloat x, GLfloat y) { record("glRasterPos2f", {x, y}); }
void glBitmap(GLsizei width, GLsizei height, GLfloat x_origin, GLfloat y_origin, GLfloat x_move, GLfloat y_move,
              const GLubyte*) {
    record("glBitmap", {double(width), double(height), x_origin, y_origin, x_move, y_move});
}
void glMatrixMode(GLenum mode) { record("glMatrixMode", {static_cast<double>(mode)}); }
void glLoadIdentity() { record("glLoadIdentity", {}); }
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) { record("glClearColor", {r, g, b, a}); }

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble z_near, GLdouble z_far) {
    record("gluPerspective", {fovy, aspect, z_near, z_far});
}
void gluLookAt(GLdouble eye_x, GLdouble eye_y, GLdouble eye_z, GLdouble centre_x, GLdouble centre_y,
               GLdouble centre_z, GLdouble up_x, GLdouble up_y, GLdouble up_z) {
    record("gluLookAt", {eye_x, eye_y, eye_z, centre_x, centre_y, centre_z, up_x, up_y, up_z});
}

void glutInit(int* argc, char**) { record("glutInit", {static_cast<double>(*argc)}); }
void glutInitDisplayMode(unsigned int mode) { record("glutInitDisplayMode", {static_cast<double>(mode)}); }
void glutInitWindowSize(int width, int height) { record("glutInitWindowSize", {double(width), double(height)}); }
void glutInitWindowPosition(int x, int y) { record("glutInitWindowPosition", {double(x), double(y)}); }
int glutCreateWindow(const char* title) {
    gl_recorder::calls().push_back(GlCall{"glutCreateWindow", {}, title, nullptr});
    return 1;
}
int glutGet(GLenum query) {
    record("glutGet", {static_cast<double>(query)});
    return query == GLUT_WINDOW_COLORMAP_SIZE ? gl_recorder::colormap_size_for_test() : 0;
}
void glutKeyboardFunc(void (*callback)(unsigned char, int, int)) {
    record("glutKeyboardFunc", {});
    gl_recorder::callbacks().keyboard = callback;
}
void glutSpecialFunc(void (*callback)(int, int, int)) {
    record("glutSpecialFunc", {});
    gl_recorder::callbacks().special = callback;
}
void glutDisplayFunc(void (*callback)()) {
    record("glutDisplayFunc", {});
    gl_recorder::callbacks().display = callback;
}
void glutIdleFunc(void (*callback)()) {
    record("glutIdleFunc", {});
    gl_recorder::callbacks().idle = callback;
}
void glutTimerFunc(unsigned int delay, void (*callback)(int), int value) {
    record("glutTimerFunc", {double(delay), double(value)});
    gl_recorder::callbacks().timer = callback;
    gl_recorder::callbacks().timer_delay = delay;
    gl_recorder::callbacks().timer_value = value;
}
void glutMainLoop() { record("glutMainLoop", {}); }
void glutSwapBuffers() { record("glutSwapBuffers", {}); }
void glutBitmapCharacter(void* font, int character) {
    gl_recorder::calls().push_back(GlCall{"glutBitmapCharacter", {double(character)}, std::string(), font});
}

}  // extern "C"
