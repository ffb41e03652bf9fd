// Pixel check of the marks drawn from vertex arrays: display_scene's frame in
// a real window (run under a virtual X server) against the same marks drawn
// by a reference loop with one glBegin/glEnd per mark, pixel for pixel.
// Outline and legend are placed far outside the view so that only the marks
// are on screen in both frames. Exit status 0 when identical.
#include <GL/freeglut.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/viewer_state.h"
#include "view/scene.h"

namespace {

constexpr int kSize = 650;  // the viewer's window

// A fixed pseudo-random sequence, so every run draws the same marks.
struct Sequence {
    uint64_t state;
    double unit() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) * (1.0 / 9007199254740992.0);
    }
};

// Marks of every colour range (green above 1 and below 0 included), many
// overlapping, some crossing the window's edge, more than one batch's worth;
// a threshold leaves some out.
void fill_viewer() {
    Sequence random{12345};
    viewer.catalogue.clear();
    for (int i = 0; i < 10000; ++i) {
        QuakeRecord quake;
        quake.latitude = static_cast<float>(37.0 + (random.unit() - 0.5) * 22.0);
        quake.longitude = static_cast<float>(-119.5 + (random.unit() - 0.5) * 22.0);
        quake.magnitude = static_cast<float>(0.5 + random.unit() * 9.5);
        viewer.catalogue.push_back(quake);
    }
    viewer.quake_count = static_cast<int32_t>(viewer.catalogue.size());
    viewer.first_index = 100;
    viewer.last_index = viewer.quake_count - 100;
    viewer.min_magnitude = 1.5f;
    viewer.centre_x = -119.5f;
    viewer.centre_y = 37.0f;
    viewer.zoom = 1.3f;
    viewer.pan_x = 0.2f;
    viewer.pan_y = -0.6f;
    // Outline and legend a long way off screen.
    viewer.points = {{5000, 5000}, {5001, 5000}, {5001, 5001}};
    viewer.point_count = 3;
    viewer.min_x = viewer.max_x = 5000.0f;
    viewer.min_y = viewer.max_y = 5000.0f;
}

// The marks as drawn before vertex arrays: colour, then one GL_LINES block
// of four vertices per mark.
void reference_frame() {
    const ViewTransform view{viewer.centre_x, viewer.centre_y, viewer.zoom, viewer.centre_x + viewer.pan_x,
                             viewer.centre_y + viewer.pan_y};
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    float v[8];
    for (int32_t i = viewer.first_index; i < viewer.last_index; ++i) {
        const QuakeRecord& quake = viewer.catalogue[static_cast<size_t>(i)];
        if (quake.magnitude < viewer.min_magnitude) continue;
        glColor3f(1.0f, mark_green(quake.magnitude), 0.0f);
        mark_vertices(view, quake.longitude, quake.latitude, mark_half_size(quake.magnitude), v);
        glBegin(GL_LINES);
        glVertex2f(v[0], v[1]);
        glVertex2f(v[2], v[3]);
        glVertex2f(v[4], v[5]);
        glVertex2f(v[6], v[7]);
        glEnd();
    }
    glutSwapBuffers();
}

// The frame just swapped. Mesa's software renderer under Xvfb copies the back
// buffer to the window and keeps it, while its front buffer reads back empty;
// so the back buffer is read, and the test itself checks that it follows
// each new frame (see the white frame in main).
std::vector<unsigned char> shown_pixels() {
    glFinish();
    std::vector<unsigned char> pixels(static_cast<size_t>(kSize) * kSize * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kSize, kSize, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

}  // namespace

int main(int argc, char** argv) {
    fill_viewer();
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(kSize, kSize);
    glutInitWindowPosition(0, 0);
    glutCreateWindow("sismap frame pixels");
    glutDisplayFunc([] {});  // the frames are drawn below
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    gluPerspective(60.0, 1.0, 1.0, 1000.0);
    gluLookAt(viewer.centre_x, viewer.centre_y, 18.0, viewer.centre_x, viewer.centre_y, 0.0, 0.0, 1.0, 0.0);
    for (int i = 0; i < 10; ++i) glutMainLoopEvent();

    reference_frame();
    const std::vector<unsigned char> expected = shown_pixels();

    // A white frame in between: reading it back proves that the pixels read
    // are those of the latest frame, so the scene's frame below cannot pass
    // by leaving the reference in place.
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glutSwapBuffers();
    for (unsigned char value : shown_pixels()) {
        if (value != 255) {
            std::fprintf(stderr, "the pixels read do not follow the frames drawn\n");
            return 1;
        }
    }
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);

    display_scene();
    const std::vector<unsigned char> drawn = shown_pixels();

    // The reference must show a real picture: marks in several colours.
    size_t lit = 0;
    size_t yellow = 0, red = 0;
    for (size_t i = 0; i < expected.size(); i += 3) {
        if (expected[i] == 0) continue;
        ++lit;
        yellow += expected[i + 1] == 255;
        red += expected[i + 1] == 0;
    }
    if (lit < 10000 || yellow == 0 || red == 0) {
        std::fprintf(stderr, "reference frame is not a picture of marks (%zu lit, %zu yellow, %zu red)\n", lit,
                     yellow, red);
        return 1;
    }
    size_t differing = 0;
    for (size_t i = 0; i < expected.size(); i += 3)
        differing += expected[i] != drawn[i] || expected[i + 1] != drawn[i + 1] || expected[i + 2] != drawn[i + 2];
    std::printf("%zu lit pixels in the reference, %zu pixels differ\n", lit, differing);
    return differing == 0 ? 0 : 1;
}
