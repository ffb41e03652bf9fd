// Map mode through OpenGL: an orthographic camera on the map part's
// viewport, then the band in pixel coordinates. Marks are drawn in pixels,
// centred on the pixel their event falls in, so that a mark of half-size h
// is exactly 2h + 1 pixels across whatever the region's size.
#include "record/map_view.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/viewer_state.h"
#include "view/scene.h"

namespace {

constexpr double kMargin = 0.05;          // of the map part, on every side
constexpr double kStrokeCapHeight = 119.05;  // GLUT_STROKE_ROMAN's capitals, in font units
void* const kFont = GLUT_STROKE_ROMAN;
constexpr float kSizeKeyMagnitudes[] = {3.0f, 5.0f, 7.0f};

MapSetup setup;
WorldWindow world;
std::vector<KeyBox> boxes;  // sizes of the band's boxes
BandLayout band;            // and where they go
double cap = 11.0;
GLuint map_lines = 0;  // display list of the outline or the coasts

// The band's boxes, in order.
enum Box { kThreshold, kDates, kSizeKey, kColourKey, kBoxCount };

double text_width(const std::string& text) {
    return glutStrokeLength(kFont, reinterpret_cast<const unsigned char*>(text.c_str())) * cap / kStrokeCapHeight;
}

// `text` with its baseline's left end at (x, y), in pixels.
void draw_text_at(double x, double y, const std::string& text) {
    glPushMatrix();
    glTranslated(x, y, 0.0);
    glScaled(cap / kStrokeCapHeight, cap / kStrokeCapHeight, 1.0);
    for (unsigned char c : text) glutStrokeCharacter(kFont, c);
    glPopMatrix();
}

double swatch() { return cap; }

// Pieces of the colour key: swatch colour and label.
struct KeyEntry {
    Rgb colour;
    std::string label;
};

std::string km(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string colour_key_title() {
    switch (setup.colouring) {
        case Colouring::Depth: return "Depth:";
        case Colouring::Age: return "Age:";
        case Colouring::Magnitude: break;
    }
    return "Magnitude:";
}

std::vector<KeyEntry> colour_key_entries() {
    std::vector<KeyEntry> entries;
    switch (setup.colouring) {
        case Colouring::Magnitude:
            for (int m = 3; m <= 8; ++m) entries.push_back({magnitude_colour(static_cast<float>(m)), std::to_string(m)});
            break;
        case Colouring::Depth: {
            const std::vector<double>& b = setup.depth_bounds;
            const int count = static_cast<int>(b.size()) + 1;
            for (int k = 0; k < count; ++k) {
                std::string label = k == 0 ? "0-" + km(b[0]) + " km"
                                    : k == count - 1 ? "over " + km(b.back()) + " km"
                                                     : km(b[static_cast<size_t>(k - 1)]) + "-" +
                                                           km(b[static_cast<size_t>(k)]) + " km";
                entries.push_back({depth_class_colour(k, count), label});
            }
            entries.push_back({kUnknownDepthColour, "unknown"});
            break;
        }
        case Colouring::Age:
            for (int i = 4; i >= 0; --i)
                entries.push_back({aged_colour(5.0f, i / 4.0), i == 4 ? "newest" : i == 0 ? "oldest" : ""});
            break;
    }
    return entries;
}

double size_key_width() {
    double w = text_width("Size:") + cap;
    for (float m : kSizeKeyMagnitudes) {
        w += 2.0 * mark_half_pixels(m, setup.height) + 1.0 + cap * 0.4 + text_width("M" + std::to_string(static_cast<int>(m))) + cap;
    }
    return w - cap;
}

double colour_key_width() {
    double w = text_width(colour_key_title()) + cap;
    for (const KeyEntry& e : colour_key_entries()) {
        w += swatch() + (e.label.empty() ? cap * 0.2 : cap * 0.4 + text_width(e.label) + cap);
    }
    return w;
}

// The world point's pixel, as the map's camera places it after the viewer's
// zoom and pan.
void to_pixel(const ViewTransform& view, float x, float y, double* px, double* py) {
    const double sx = (static_cast<double>(x) - view.centre_x) * view.zoom + view.offset_x;
    const double sy = (static_cast<double>(y) - view.centre_y) * view.zoom + view.offset_y;
    *px = (sx - world.left) / (world.right - world.left) * setup.width;
    *py = band.height + (sy - world.bottom) / (world.top - world.bottom) * (setup.height - band.height);
}

// A plus of half-size h centred on pixel (i, j), in pixel coordinates, as
// two one-pixel-wide bars (GL_QUADS): filled rectangles light exactly the
// pixels whose centres they cover, where lines' end pixels depend on their
// slope.
void plus_at(int i, int j, int h) {
    glVertex2i(i - h, j);
    glVertex2i(i + h + 1, j);
    glVertex2i(i + h + 1, j + 1);
    glVertex2i(i - h, j + 1);
    glVertex2i(i, j - h);
    glVertex2i(i + 1, j - h);
    glVertex2i(i + 1, j + h + 1);
    glVertex2i(i, j + h + 1);
}

void record_map_lines() {
    const ViewTransform view = current_view();
    map_lines = glGenLists(1);
    glNewList(map_lines, GL_COMPILE);
    glColor3f(1.0f, 1.0f, 1.0f);
    if (setup.coasts.empty()) {
        const int32_t count = std::min(viewer.point_count, static_cast<int32_t>(viewer.points.size()));
        float vertex[2];
        glBegin(GL_LINE_LOOP);
        for (int32_t i = 0; i < count; ++i) {
            outline_vertex(view, viewer.points[static_cast<size_t>(i)].x, viewer.points[static_cast<size_t>(i)].y,
                           vertex);
            glVertex2f(vertex[0], vertex[1]);
        }
        glEnd();
    } else {
        // A full-resolution coast has many vertices to a pixel: those
        // within half a pixel of the last one kept add nothing to the
        // picture but drawing time, and are left out of the list.
        const double pixels_per_unit = setup.width / (world.right - world.left);
        const double least = 0.5 / pixels_per_unit;
        for (const CoastLine& line : setup.coasts) {
            glBegin(line.closed ? GL_LINE_LOOP : GL_LINE_STRIP);
            double last_x = 0.0;
            double last_y = 0.0;
            for (size_t i = 0; i + 1 < line.xy.size(); i += 2) {
                const double x = (static_cast<double>(line.xy[i]) - view.centre_x) * view.zoom + view.offset_x;
                const double y = (static_cast<double>(line.xy[i + 1]) - view.centre_y) * view.zoom + view.offset_y;
                const bool ends = i == 0 || i + 3 >= line.xy.size();
                if (!ends && std::fabs(x - last_x) < least && std::fabs(y - last_y) < least) continue;
                glVertex2d(x, y);
                last_x = x;
                last_y = y;
            }
            glEnd();
        }
    }
    glEndList();
}

void pixel_camera() {
    glViewport(0, 0, setup.width, setup.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, setup.width, 0.0, setup.height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

Rgb mark_colour(int32_t i, const QuakeRecord& quake, double window_start, double window_end) {
    switch (setup.colouring) {
        case Colouring::Depth: {
            const float depth = setup.depths != nullptr && static_cast<size_t>(i) < setup.depths->size()
                                    ? (*setup.depths)[static_cast<size_t>(i)]
                                    : std::nanf("");
            return depth_class_colour(depth_class(depth, setup.depth_bounds),
                                      static_cast<int>(setup.depth_bounds.size()) + 1);
        }
        case Colouring::Age: {
            const double at = day_measure(quake.date.year, quake.date.month, quake.date.day, quake.time.hour,
                                          quake.time.minute, quake.time.second);
            const double span = window_end - window_start;
            return aged_colour(quake.magnitude, span > 0.0 ? (at - window_start) / span : 1.0);
        }
        case Colouring::Magnitude: break;
    }
    return magnitude_colour(quake.magnitude);
}

void draw_marks(double window_start, double window_end) {
    const ViewTransform view = current_view();
    const int32_t first = std::max(viewer.first_index, 0);
    const int32_t stored = static_cast<int32_t>(std::min<size_t>(viewer.catalogue.size(), INT32_MAX));
    const int32_t end = std::min({viewer.last_index, viewer.quake_count, stored});
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, static_cast<int>(band.height), setup.width, setup.height - static_cast<int>(band.height));
    glBegin(GL_QUADS);
    for (int32_t i = first; i < end; ++i) {
        const QuakeRecord& quake = viewer.catalogue[static_cast<size_t>(i)];
        if (quake.magnitude < viewer.min_magnitude) continue;
        double px = 0.0;
        double py = 0.0;
        to_pixel(view, quake.longitude, quake.latitude, &px, &py);
        if (!(px > -100.0 && px < setup.width + 100.0 && py > -100.0 && py < setup.height + 100.0)) continue;
        const Rgb c = mark_colour(i, quake, window_start, window_end);
        glColor3f(c.r, c.g, c.b);
        plus_at(static_cast<int>(std::floor(px)), static_cast<int>(std::floor(py)),
                static_cast<int>(std::lround(mark_half_pixels(quake.magnitude, setup.height))));
    }
    glEnd();
    glDisable(GL_SCISSOR_TEST);
}

void draw_band(const std::string& dates) {
    glColor3f(0.0f, 0.0f, 0.0f);
    glRectd(0.0, 0.0, setup.width, band.height);
    glLineWidth(static_cast<float>(std::max(1.0, std::round(cap / 8.0))));
    const double baseline_drop = cap / 2.0;  // a text's middle is half a capital above its baseline
    glColor3f(1.0f, 0.0f, 0.0f);
    char threshold[16];
    format_magnitude_legend(threshold, sizeof threshold);
    draw_text_at(band.placed[kThreshold].width, band.placed[kThreshold].height + cap * 0.35, threshold);
    draw_text_at(band.placed[kDates].width, band.placed[kDates].height + cap * 0.35, dates);

    // Size key: "Size:" then a mark and "M3", "M5", "M7".
    double x = band.placed[kSizeKey].width;
    const double middle = band.placed[kSizeKey].height + boxes[kSizeKey].height / 2.0;
    glColor3f(1.0f, 0.0f, 0.0f);
    draw_text_at(x, middle - baseline_drop, "Size:");
    x += text_width("Size:") + cap;
    for (float m : kSizeKeyMagnitudes) {
        const int h = static_cast<int>(std::lround(mark_half_pixels(m, setup.height)));
        glLineWidth(1.0f);
        const Rgb c = setup.colouring == Colouring::Depth ? Rgb{0.85f, 0.85f, 0.85f} : magnitude_colour(m);
        glColor3f(c.r, c.g, c.b);
        glBegin(GL_QUADS);
        plus_at(static_cast<int>(x) + h, static_cast<int>(middle), h);
        glEnd();
        x += 2.0 * h + 1.0 + cap * 0.4;
        glLineWidth(static_cast<float>(std::max(1.0, std::round(cap / 8.0))));
        glColor3f(1.0f, 0.0f, 0.0f);
        const std::string label = "M" + std::to_string(static_cast<int>(m));
        draw_text_at(x, middle - baseline_drop, label);
        x += text_width(label) + cap;
    }

    // Colour key: title, then each swatch and its label.
    x = band.placed[kColourKey].width;
    const double key_middle = band.placed[kColourKey].height + boxes[kColourKey].height / 2.0;
    draw_text_at(x, key_middle - baseline_drop, colour_key_title());
    x += text_width(colour_key_title()) + cap;
    for (const KeyEntry& e : colour_key_entries()) {
        glColor3f(e.colour.r, e.colour.g, e.colour.b);
        glRectd(x, key_middle - swatch() / 2.0, x + swatch(), key_middle + swatch() / 2.0);
        x += swatch();
        if (e.label.empty()) {
            x += cap * 0.2;
            continue;
        }
        x += cap * 0.4;
        glColor3f(1.0f, 0.0f, 0.0f);
        draw_text_at(x, key_middle - baseline_drop, e.label);
        x += text_width(e.label) + cap;
    }
    glLineWidth(1.0f);
}

}  // namespace

void set_up_map(MapSetup map_setup) {
    setup = std::move(map_setup);
    cap = key_cap_height(setup.width, setup.height);
    char threshold[16];
    format_magnitude_legend(threshold, sizeof threshold);
    boxes.assign(kBoxCount, KeyBox{});
    // Texts: a capital's height above the baseline and a descender's below.
    boxes[kThreshold] = KeyBox{text_width(threshold), cap * 1.35};
    boxes[kDates] = KeyBox{text_width(setup.sample_dates) + cap * 0.5, cap * 1.35};
    boxes[kSizeKey] = KeyBox{size_key_width(), std::max(cap * 1.35, 2.0 * mark_half_pixels(7.0f, setup.height) + 1.0)};
    boxes[kColourKey] = KeyBox{colour_key_width(), cap * 1.5};
    band = lay_out_band(boxes, setup.width, cap);
    world = frame_outline(viewer.min_x + setup.start_pan_x, viewer.min_y + setup.start_pan_y,
                          viewer.max_x + setup.start_pan_x, viewer.max_y + setup.start_pan_y, setup.width,
                          setup.height - static_cast<int>(band.height), kMargin);
    record_map_lines();
}

void read_map_frame(FrameImage* image, const std::string& dates, double window_start, double window_end) {
    if (image->width != setup.width || image->height != setup.height) *image = FrameImage(setup.width, setup.height);
    glViewport(0, 0, setup.width, setup.height);
    glClear(GL_COLOR_BUFFER_BIT);
    // The map part: world units through an orthographic camera.
    const int band_pixels = static_cast<int>(band.height);
    glViewport(0, band_pixels, setup.width, setup.height - band_pixels);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(world.left, world.right, world.bottom, world.top, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glCallList(map_lines);
    // Marks, then the band, in pixels.
    pixel_camera();
    draw_marks(window_start, window_end);
    draw_band(dates);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, setup.width, setup.height, GL_BGRA, GL_UNSIGNED_BYTE, image->bgra.data());
}

int map_band_height() { return static_cast<int>(band.height); }
