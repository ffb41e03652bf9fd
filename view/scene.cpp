// Drawing of one whole frame from the ViewerState: the plus-shaped marks of
// the drawn range, the white outline over them, a black strip along the
// outline's bottom edge and the red legend on it.
#include "view/scene.h"

#include <GL/glut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "app/viewer_state.h"

namespace {

// Truncation toward zero to a 32-bit integer, saturating outside its range
// (and 0 for NaN) so that no value of a bound or threshold is undefined.
int32_t truncate_to_int32(double value) {
    if (std::isnan(value)) return 0;
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

// Longest date text read from a CalendarDate: its whole buffer, so even a
// buffer that lost its terminator is never read past.
constexpr int kDateTextLimit = static_cast<int>(sizeof(CalendarDate::text_buffer));

void draw_marks(const ViewTransform& view) {
    // The frame's own bounds check: whatever the indices hold, only entries
    // that exist are read. Costs two comparisons per frame.
    const int32_t first = std::max(viewer.first_index, 0);
    const int32_t stored = static_cast<int32_t>(std::min<size_t>(viewer.catalogue.size(), INT32_MAX));
    const int32_t end = std::min({viewer.last_index, viewer.quake_count, stored});
    const float threshold = viewer.min_magnitude;
    const QuakeRecord* const catalogue = viewer.catalogue.data();
    float vertices[8];
    for (int32_t i = first; i < end; ++i) {
        const QuakeRecord& quake = catalogue[i];
        const float m = quake.magnitude;
        if (m < threshold) continue;
        glColor3f(1.0f, mark_green(m), 0.0f);
        mark_vertices(view, quake.longitude, quake.latitude, mark_half_size(m), vertices);
        glBegin(GL_LINES);
        glVertex2f(vertices[0], vertices[1]);
        glVertex2f(vertices[2], vertices[3]);
        glVertex2f(vertices[4], vertices[5]);
        glVertex2f(vertices[6], vertices[7]);
        glEnd();
    }
}

void draw_outline(const ViewTransform& view) {
    const int32_t stored = static_cast<int32_t>(std::min<size_t>(viewer.points.size(), INT32_MAX));
    const int32_t count = std::min(viewer.point_count, stored);
    float vertex[2];
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_LINE_LOOP);
    for (int32_t i = 0; i < count; ++i) {
        outline_vertex(view, viewer.points[i].x, viewer.points[i].y, vertex);
        glVertex2f(vertex[0], vertex[1]);
    }
    glEnd();
}

}  // namespace

void draw_scene() {
    // snprintf cuts a text that does not fit and always terminates.
    char dates_text[24];
    if (std::snprintf(dates_text, sizeof dates_text, "%.*s - %.*s", kDateTextLimit,
                      viewer.window_first_date.text(), kDateTextLimit, viewer.window_last_date.text()) < 0)
        dates_text[0] = '\0';
    draw_scene(dates_text);
}

void draw_scene(const char* dates_text, int dates_shift_pixels) {
    const ViewTransform view = current_view();

    // Legend strip corners: 0.2 below the outline's lowest y to 0.5 above
    // it; both sides 0.1 left of the outline's bounds.
    const float box_left = static_cast<float>(viewer.min_x - 0.1);
    const float box_right = static_cast<float>(viewer.max_x - 0.1);
    const float box_bottom = static_cast<float>(viewer.min_y - 0.2);
    const float box_top = static_cast<float>(viewer.min_y + 0.5);
    // The magnitude text starts at the outline's lower-left corner, the date
    // range 8.5 units to its right (truncated).
    const int32_t text_x = truncate_to_int32(viewer.min_x);
    const int32_t text_y = truncate_to_int32(viewer.min_y);
    const int32_t dates_x = truncate_to_int32(static_cast<float>(viewer.min_x + 8.5));

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_marks(view);
    draw_outline(view);

    char magnitude_text[16];
    format_magnitude_legend(magnitude_text, sizeof magnitude_text);

    glColor3f(0.0f, 0.0f, 0.0f);
    glBegin(GL_QUADS);
    glVertex2f(box_left, box_bottom);
    glVertex2f(box_right, box_bottom);
    glVertex2f(box_right, box_top);
    glVertex2f(box_left, box_top);
    glEnd();

    glColor3f(1.0f, 0.0f, 0.0f);
    draw_text(text_x, text_y, magnitude_text);
    if (dates_shift_pixels == 0) {
        draw_text(dates_x, text_y, dates_text);
    } else {
        glRasterPos2f(static_cast<float>(dates_x), static_cast<float>(text_y));
        glBitmap(0, 0, 0.0f, 0.0f, static_cast<float>(dates_shift_pixels), 0.0f, nullptr);
        for (const char* c = dates_text; *c != '\0'; ++c)
            glutBitmapCharacter(GLUT_BITMAP_HELVETICA_18, static_cast<unsigned char>(*c));
    }
}

void format_magnitude_legend(char* text, size_t size) {
    // snprintf cuts a threshold outside -9..99 and always terminates.
    if (std::snprintf(text, size, "Magnitude >= %1d", static_cast<int>(truncate_to_int32(viewer.min_magnitude))) < 0)
        text[0] = '\0';
}

void display_scene() {
    draw_scene();
    glutSwapBuffers();
}

ViewTransform current_view() {
    return ViewTransform{viewer.centre_x, viewer.centre_y, viewer.zoom, viewer.centre_x + viewer.pan_x,
                         viewer.centre_y + viewer.pan_y};
}

void draw_text(int32_t x, int32_t y, const char* text) {
    if (text == nullptr) text = "";
    glRasterPos2f(static_cast<float>(x), static_cast<float>(y));
    const size_t length = std::strlen(text);
    for (size_t i = 0; i < length; ++i)
        glutBitmapCharacter(GLUT_BITMAP_HELVETICA_18, static_cast<unsigned char>(text[i]));
}
