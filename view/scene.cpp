// Scene drawing (to be completed).
#include "view/scene.h"

#include <GL/glut.h>

void display_scene() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
}

void draw_text(int32_t, int32_t, const char*) {}
