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
int map_bottom = 0;    // the map part's lowest pixel row: above the band and the section panel

// The section panel's plot rectangle in whole pixels (edges' pixel rows and
// columns, y up), its ticks and their labels; empty without --section.
struct Panel {
    int left = 0;
    int right = 0;
    int bottom = 0;
    int top = 0;
    int line = 1;  // width of the rectangle's and ticks' lines
    double tick = 0.0;
    std::vector<double> distance_ticks;
    std::vector<double> depth_ticks;
};
Panel panel;
GLuint section_lines = 0;  // display list of the profile and the swath's edges on the map

constexpr float kProfileColour[3] = {0.35f, 0.85f, 1.0f};  // the profile on the map, apart from white coasts

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
    *py = map_bottom + (sy - world.bottom) / (world.top - world.bottom) * (setup.height - map_bottom);
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

// Half a pixel of the map part, in world units: coast vertices closer than
// this to the last one kept are left out.
double map_page_least() { return 0.5 / (setup.width / (world.right - world.left)); }

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
        const double least = map_page_least();
        for (const CoastLine& line : setup.coasts) {
            glBegin(line.closed ? GL_LINE_LOOP : GL_LINE_STRIP);
            for (const size_t i : coast_vertices_drawn(line.xy, view, least))
                glVertex2d((static_cast<double>(line.xy[2 * i]) - view.centre_x) * view.zoom + view.offset_x,
                           (static_cast<double>(line.xy[2 * i + 1]) - view.centre_y) * view.zoom + view.offset_y);
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

// The map part: world units through an orthographic camera.
void world_camera() {
    glViewport(0, map_bottom, setup.width, setup.height - map_bottom);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(world.left, world.right, world.bottom, world.top, -1.0, 1.0);
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
            const double at = entry_day_measure(quake);
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
    glScissor(0, map_bottom, setup.width, setup.height - map_bottom);
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

int text_line_width() { return static_cast<int>(std::max(1.0, std::round(cap / 8.0))); }

// Where the threshold's and the dates' baselines start.
double changing_text_x(Box box) { return band.placed[box].width; }
double changing_text_y(Box box) { return band.placed[box].height + cap * 0.35; }

// The band; without `changing` its threshold and dates are left out, for
// the page, which writes them itself.
void draw_band(const std::string* changing) {
    glColor3f(0.0f, 0.0f, 0.0f);
    glRectd(0.0, 0.0, setup.width, band.height);
    glLineWidth(static_cast<float>(text_line_width()));
    const double baseline_drop = cap / 2.0;  // a text's middle is half a capital above its baseline
    glColor3f(1.0f, 0.0f, 0.0f);
    if (changing != nullptr) {
        char threshold[16];
        format_magnitude_legend(threshold, sizeof threshold);
        draw_text_at(changing_text_x(kThreshold), changing_text_y(kThreshold), threshold);
        draw_text_at(changing_text_x(kDates), changing_text_y(kDates), *changing);
    }

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
        glLineWidth(static_cast<float>(text_line_width()));
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

// A tick's label; the last one carries the unit.
std::string tick_label(double value, bool last) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return last ? std::string(text) + " km" : std::string(text);
}

// The panel below the map: its rectangle inside the room between the band
// and the map part, with the ticks' labels left of it and below it, and
// the labels A and A' above its corners.
void lay_out_panel(int panel_height) {
    const SectionPlaces& places = setup.section_places;
    panel = Panel{};
    panel.line = std::max(1, static_cast<int>(std::lround(setup.height / 720.0)));
    panel.tick = std::round(cap * 0.5);
    const double room_below = panel.tick + cap * 0.4 + cap * 1.35 + cap * 0.3;
    const double room_above = cap * 1.9;  // for A and A'
    panel.bottom = static_cast<int>(std::lround(band.height + room_below));
    panel.top = static_cast<int>(std::lround(band.height + panel_height - room_above));
    const int depth_most = std::max(1, static_cast<int>((panel.top - panel.bottom) / (cap * 2.2)));
    panel.depth_ticks = axis_ticks(places.depth_max_km, depth_most);
    double widest_depth = 0.0;
    for (size_t k = 0; k < panel.depth_ticks.size(); ++k)
        widest_depth = std::max(widest_depth, text_width(tick_label(panel.depth_ticks[k], k + 1 == panel.depth_ticks.size())));
    const double margin = kMargin * setup.width;
    panel.left = static_cast<int>(std::lround(std::max(margin, widest_depth + panel.tick + cap * 0.8)));
    // The last distance label is centred on its tick, at most on the right edge.
    const double last_label = text_width(tick_label(places.length_km, true) + "0");
    panel.right = static_cast<int>(std::lround(setup.width - std::max(margin, last_label / 2.0 + 2.0)));
    const double spacing = last_label + cap * 1.5;
    const int distance_most = std::max(1, static_cast<int>((panel.right - panel.left) / spacing));
    panel.distance_ticks = axis_ticks(places.length_km, distance_most);
}

double panel_x(double along_km) {
    const double length = setup.section_places.length_km;
    return panel.left + (length > 0.0 ? along_km / length : 0.0) * (panel.right - panel.left);
}

double panel_y(double depth_km) {
    return panel.top - std::max(0.0, depth_km) / setup.section_places.depth_max_km * (panel.top - panel.bottom);
}

// The profile's points as the map's world coordinates: longitudes unwrapped
// along the line, starting within 180 degrees of the map's centre, so that
// a line across 180 degrees stays whole on an outline in 0..360.
std::vector<std::pair<double, double>> profile_geo_points(double across_km) {
    const std::vector<GeoPoint> points = setup.section->trace(across_km, setup.section->length_km() / 256.0);
    std::vector<std::pair<double, double>> xy;
    double last = viewer.centre_x;
    for (const GeoPoint& p : points) {
        double longitude = p.longitude;
        while (longitude - last > 180.0) longitude -= 360.0;
        while (longitude - last < -180.0) longitude += 360.0;
        last = longitude;
        xy.emplace_back(longitude, p.latitude);
    }
    return xy;
}

// The same after the viewer's zoom and pan.
std::vector<std::pair<double, double>> profile_world_points(double across_km) {
    const ViewTransform view = current_view();
    std::vector<std::pair<double, double>> xy = profile_geo_points(across_km);
    for (auto& [x, y] : xy) {
        x = (x - view.centre_x) * view.zoom + view.offset_x;
        y = (y - view.centre_y) * view.zoom + view.offset_y;
    }
    return xy;
}

int profile_line_width() { return static_cast<int>(std::max(1.0, std::round(cap / 7.0))); }
// The swath's edges are dashed: this many pixels drawn, as many left out.
double edge_dash_pixels() { return 4.0 * std::max(1.0, std::round(cap / 4.0)); }
double label_away() { return cap * 1.2; }

void record_section_lines() {
    section_lines = glGenLists(1);
    glNewList(section_lines, GL_COMPILE);
    glColor3fv(kProfileColour);
    glLineWidth(static_cast<float>(profile_line_width()));
    glBegin(GL_LINE_STRIP);
    for (const auto& [x, y] : profile_world_points(0.0)) glVertex2d(x, y);
    glEnd();
    glLineWidth(1.0f);
    // Dashes measured in pixels along the whole edge: the graphics
    // library's stipple starts again at each of the edge's short pieces,
    // which would leave it solid.
    const double pixels_per_x = setup.width / (world.right - world.left);
    const double pixels_per_y = (setup.height - map_bottom) / (world.top - world.bottom);
    for (const double side : {-1.0, 1.0}) {
        std::vector<std::pair<double, double>> points = profile_world_points(side * setup.section_width_km);
        for (auto& [x, y] : points) {
            x *= pixels_per_x;
            y *= pixels_per_y;
        }
        for (const std::vector<std::pair<double, double>>& dash : dashes(points, edge_dash_pixels())) {
            glBegin(GL_LINE_STRIP);
            for (const auto& [x, y] : dash) glVertex2d(x / pixels_per_x, y / pixels_per_y);
            glEnd();
        }
    }
    glEndList();
}

// A and A' on the map, each beyond its end of the line, kept in the frame.
void draw_profile_labels() {
    const std::vector<std::pair<double, double>> xy = profile_world_points(0.0);
    auto pixel = [&](const std::pair<double, double>& p, double* px, double* py) {
        *px = (p.first - world.left) / (world.right - world.left) * setup.width;
        *py = map_bottom + (p.second - world.bottom) / (world.top - world.bottom) * (setup.height - map_bottom);
    };
    double ax, ay, bx, by;
    pixel(xy.front(), &ax, &ay);
    pixel(xy.back(), &bx, &by);
    double dx = bx - ax;
    double dy = by - ay;
    const double length = std::hypot(dx, dy);
    if (length > 0.0) {
        dx /= length;
        dy /= length;
    } else {
        dx = 1.0;
        dy = 0.0;
    }
    glLineWidth(static_cast<float>(text_line_width()));
    glColor3fv(kProfileColour);
    const double away = label_away();
    const struct {
        double x, y, sign;
        const char* text;
    } labels[] = {{ax, ay, -1.0, "A"}, {bx, by, 1.0, "A'"}};
    for (const auto& label : labels) {
        const double w = text_width(label.text);
        double x = label.x + label.sign * dx * away - w / 2.0;
        double y = label.y + label.sign * dy * away - cap / 2.0;
        x = std::clamp(x, 2.0, setup.width - w - 2.0);
        y = std::clamp(y, map_bottom + 2.0, setup.height - cap - 2.0);
        draw_text_at(x, y, label.text);
    }
    glLineWidth(1.0f);
}

// The white rectangle, the ticks outside it and their labels, A and A'
// above its corners.
void draw_panel_frame() {
    const int t = panel.line;
    glColor3f(1.0f, 1.0f, 1.0f);
    glRecti(panel.left, panel.bottom, panel.right + 1, panel.bottom + t);
    glRecti(panel.left, panel.top - t + 1, panel.right + 1, panel.top + 1);
    glRecti(panel.left, panel.bottom, panel.left + t, panel.top + 1);
    glRecti(panel.right - t + 1, panel.bottom, panel.right + 1, panel.top + 1);
    const int tick = static_cast<int>(panel.tick);
    for (double d : panel.distance_ticks) {
        const int x = static_cast<int>(std::floor(panel_x(d)));
        glRecti(x, panel.bottom - tick, x + t, panel.bottom);
    }
    for (double z : panel.depth_ticks) {
        const int y = static_cast<int>(std::floor(panel_y(z)));
        glRecti(panel.left - tick, y, panel.left, y + t);
    }
    glLineWidth(static_cast<float>(text_line_width()));
    glColor3f(1.0f, 0.0f, 0.0f);
    const double below = panel.bottom - panel.tick - cap * 0.4 - cap;
    for (size_t k = 0; k < panel.distance_ticks.size(); ++k) {
        const std::string label = tick_label(panel.distance_ticks[k], k + 1 == panel.distance_ticks.size());
        const double w = text_width(label);
        const double x = std::clamp(panel_x(panel.distance_ticks[k]) - w / 2.0, 2.0, setup.width - w - 2.0);
        draw_text_at(x, below, label);
    }
    for (size_t k = 0; k < panel.depth_ticks.size(); ++k) {
        const std::string label = tick_label(panel.depth_ticks[k], k + 1 == panel.depth_ticks.size());
        draw_text_at(panel.left - panel.tick - cap * 0.4 - text_width(label), panel_y(panel.depth_ticks[k]) - cap / 2.0,
                     label);
    }
    glColor3fv(kProfileColour);
    draw_text_at(panel.left, panel.top + cap * 0.5, "A");
    draw_text_at(panel.right - text_width("A'"), panel.top + cap * 0.5, "A'");
    glLineWidth(1.0f);
}

// The map's events that lie in the section, at (along, depth), with the
// map's marks and colours.
void draw_section_marks(double window_start, double window_end) {
    const std::vector<float>& along = setup.section_places.along_km;
    const int32_t first = std::max(viewer.first_index, 0);
    const int32_t stored = static_cast<int32_t>(std::min<size_t>(viewer.catalogue.size(), INT32_MAX));
    const size_t placed = std::min(along.size(), setup.depths != nullptr ? setup.depths->size() : size_t{0});
    const int32_t end = std::min({viewer.last_index, viewer.quake_count, stored, static_cast<int32_t>(placed)});
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, static_cast<int>(band.height), setup.width, map_bottom - static_cast<int>(band.height));
    glBegin(GL_QUADS);
    for (int32_t i = first; i < end; ++i) {
        const float km = along[static_cast<size_t>(i)];
        if (std::isnan(km)) continue;
        const QuakeRecord& quake = viewer.catalogue[static_cast<size_t>(i)];
        if (quake.magnitude < viewer.min_magnitude) continue;
        const Rgb c = mark_colour(i, quake, window_start, window_end);
        glColor3f(c.r, c.g, c.b);
        plus_at(static_cast<int>(std::floor(panel_x(km))),
                static_cast<int>(std::floor(panel_y((*setup.depths)[static_cast<size_t>(i)]))),
                static_cast<int>(std::lround(mark_half_pixels(quake.magnitude, setup.height))));
    }
    glEnd();
    glDisable(GL_SCISSOR_TEST);
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
    // With a section, the panel takes a third of the frame between the band
    // and the map.
    const int panel_height = setup.section ? static_cast<int>(std::lround(setup.height / 3.0)) : 0;
    map_bottom = static_cast<int>(band.height) + panel_height;
    world = frame_outline(viewer.min_x + setup.start_pan_x, viewer.min_y + setup.start_pan_y,
                          viewer.max_x + setup.start_pan_x, viewer.max_y + setup.start_pan_y, setup.width,
                          setup.height - map_bottom, kMargin);
    record_map_lines();
    if (setup.section) {
        lay_out_panel(panel_height);
        record_section_lines();
    }
}

void read_map_frame(FrameImage* image, const std::string& dates, double window_start, double window_end) {
    if (image->width != setup.width || image->height != setup.height) *image = FrameImage(setup.width, setup.height);
    glViewport(0, 0, setup.width, setup.height);
    glClear(GL_COLOR_BUFFER_BIT);
    world_camera();
    glCallList(map_lines);
    // Marks, then the section panel and the band, in pixels.
    pixel_camera();
    draw_marks(window_start, window_end);
    if (setup.section) {
        // The profile over the marks, which would hide it where events are many.
        world_camera();
        glCallList(section_lines);
        pixel_camera();
        draw_profile_labels();
        draw_panel_frame();
        draw_section_marks(window_start, window_end);
    }
    draw_band(&dates);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, setup.width, setup.height, GL_BGRA, GL_UNSIGNED_BYTE, image->bgra.data());
}

int map_band_height() { return static_cast<int>(band.height); }

const MapSetup& map_setup() { return setup; }

namespace {

// The glyphs as the library itself draws them, caught in feedback mode: a
// camera of one window unit per font unit shows each character's line
// segments, and a point drawn after it lands where it left the text's
// origin. The font's units reach from about -33 to 120 up and 0 to 105
// across, well inside the 1000-unit view.
StrokeGlyphs capture_glyphs() {
    StrokeGlyphs glyphs;
    constexpr double kReach = 500.0;
    std::vector<GLfloat> buffer(1 << 15);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-kReach, kReach, -kReach, kReach, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glViewport(0, 0, static_cast<GLsizei>(2 * kReach), static_cast<GLsizei>(2 * kReach));
    for (int c = 32; c <= 126; ++c) {
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        glPushMatrix();
        glutStrokeCharacter(kFont, c);
        glBegin(GL_POINTS);
        glVertex2f(0.0f, 0.0f);
        glEnd();
        glPopMatrix();
        const GLint count = glRenderMode(GL_RENDER);
        std::vector<float> segments;
        float advance = 0.0f;
        for (GLint at = 0; at < count;) {
            const auto token = static_cast<GLenum>(buffer[static_cast<size_t>(at)]);
            if ((token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) && at + 4 < count) {
                for (int k = 1; k <= 4; ++k)
                    segments.push_back(static_cast<float>(buffer[static_cast<size_t>(at + k)] - kReach));
                at += 5;
            } else if (token == GL_POINT_TOKEN && at + 2 < count) {
                advance = static_cast<float>(buffer[static_cast<size_t>(at + 1)] - kReach);
                at += 3;
            } else if (token == GL_POLYGON_TOKEN && at + 1 < count) {
                at += 2 + 2 * static_cast<GLint>(buffer[static_cast<size_t>(at + 1)]);
            } else {
                ++at;  // a pass-through or bitmap token carries no more than its value here
            }
        }
        glyphs.advances.push_back(advance);
        glyphs.segments.push_back(std::move(segments));
    }
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return glyphs;
}

std::vector<double> flattened(const std::vector<std::pair<double, double>>& points) {
    std::vector<double> xy;
    for (const auto& [x, y] : points) {
        xy.push_back(x);
        xy.push_back(y);
    }
    return xy;
}

}  // namespace

MapPageParts map_page_parts() {
    MapPageParts parts;
    parts.map_bottom = map_bottom;
    parts.band_height = static_cast<int>(band.height);
    parts.world = world;
    parts.coast_least = map_page_least();
    parts.text_scale = cap / kStrokeCapHeight;
    parts.text_line_width = text_line_width();
    parts.threshold_x = changing_text_x(kThreshold);
    parts.threshold_y = changing_text_y(kThreshold);
    parts.dates_x = changing_text_x(kDates);
    parts.dates_y = changing_text_y(kDates);
    parts.cap_height = cap;
    parts.glyphs = capture_glyphs();

    // Below the map, as a frame draws it but for what changes.
    glViewport(0, 0, setup.width, setup.height);
    glClear(GL_COLOR_BUFFER_BIT);
    pixel_camera();
    if (setup.section) draw_panel_frame();
    draw_band(nullptr);
    parts.lower = FrameImage(setup.width, map_bottom);
    if (map_bottom > 0) {
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, setup.width, map_bottom, GL_BGRA, GL_UNSIGNED_BYTE, parts.lower.bgra.data());
    }

    if (setup.section) {
        parts.section = true;
        parts.profile = flattened(profile_geo_points(0.0));
        parts.edges[0] = flattened(profile_geo_points(-setup.section_width_km));
        parts.edges[1] = flattened(profile_geo_points(setup.section_width_km));
        parts.profile_line_width = profile_line_width();
        parts.edge_dash = edge_dash_pixels();
        parts.profile_colour = Rgb{kProfileColour[0], kProfileColour[1], kProfileColour[2]};
        parts.label_away = label_away();
        parts.panel_rows_low = static_cast<int>(band.height);
        const std::vector<float>& along = setup.section_places.along_km;
        const size_t placed = std::min(along.size(), setup.depths != nullptr ? setup.depths->size() : size_t{0});
        for (size_t i = 0; i < std::min(placed, viewer.catalogue.size()); ++i) {
            if (std::isnan(along[i])) continue;
            parts.panel_entries.push_back(static_cast<int64_t>(i));
            parts.panel_columns.push_back(static_cast<int16_t>(std::floor(panel_x(along[i]))));
            parts.panel_rows.push_back(static_cast<int16_t>(std::floor(panel_y((*setup.depths)[i]))));
        }
    }
    return parts;
}
