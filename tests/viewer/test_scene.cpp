// Frames drawn by display_scene, recorded call by call: order, colours, and
// every vertex and text position to the exact float.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "app/viewer_state.h"
#include "tests/gl_recorder.h"
#include "tests/test_support.h"
#include "view/scene.h"

void PrintTo(const GlCall& call, std::ostream* out) {
    *out << call.name << "(";
    for (size_t i = 0; i < call.args.size(); ++i) *out << (i ? ", " : "") << call.args[i];
    *out << ")";
}

namespace {

using Calls = std::vector<GlCall>;

GlCall gl(const char* name, std::vector<double> args = {}) { return GlCall{name, std::move(args), "", nullptr}; }
GlCall colour(float r, float g, float b) { return gl("glColor3f", {r, g, b}); }
GlCall vertex(float x, float y) { return gl("glVertex2f", {x, y}); }
GlCall begin(GLenum mode) { return gl("glBegin", {static_cast<double>(mode)}); }

void append_text(Calls& calls, float x, float y, const std::string& text) {
    calls.push_back(gl("glRasterPos2f", {x, y}));
    for (char c : text)
        calls.push_back(GlCall{"glutBitmapCharacter", {static_cast<double>(static_cast<unsigned char>(c))}, "",
                               GLUT_BITMAP_HELVETICA_18});
}

// The view transform of a frame, written out independently of the code.
struct View {
    float cx, cy, zoom, ox, oy;
    float sx(double x) const { return static_cast<float>((x - cx) * zoom + ox); }
    float sy(double y) const { return static_cast<float>((y - cy) * zoom + oy); }
};

View current_view() {
    return View{viewer.centre_x, viewer.centre_y, viewer.zoom, viewer.centre_x + viewer.pan_x,
                viewer.centre_y + viewer.pan_y};
}

// Half-size of a mark: the float product m x 0.025f (exact in double, then
// rounded once).
float half_size(float m) { return static_cast<float>(static_cast<double>(m) * static_cast<double>(0.025f)); }

void append_mark(Calls& calls, const View& v, const QuakeRecord& q) {
    const float m = q.magnitude;
    const double x = q.longitude, y = q.latitude, s = half_size(m);
    calls.push_back(colour(1.0f, static_cast<float>((8.0 - m) / 5.0), 0.0f));
    calls.push_back(begin(GL_LINES));
    calls.push_back(vertex(v.sx(x - s), v.sy(y)));
    calls.push_back(vertex(v.sx(x + s), v.sy(y)));
    calls.push_back(vertex(v.sx(x), v.sy(y - s)));
    calls.push_back(vertex(v.sx(x), v.sy(y + s)));
    calls.push_back(gl("glEnd"));
}

void append_outline(Calls& calls, const View& v) {
    calls.push_back(colour(1, 1, 1));
    calls.push_back(begin(GL_LINE_LOOP));
    for (const LandscapePoint& p : viewer.points) {
        const float dx = static_cast<float>(p.x) - v.cx;
        const float dy = static_cast<float>(p.y) - v.cy;
        calls.push_back(vertex(static_cast<float>(double(dx) * v.zoom + v.ox),
                               static_cast<float>(double(dy) * v.zoom + v.oy)));
    }
    calls.push_back(gl("glEnd"));
}

// What a frame draws for a catalogue entry: the seven calls of its mark.
Calls mark_calls(const QuakeRecord& q) {
    Calls calls;
    append_mark(calls, current_view(), q);
    return calls;
}

// Calls from the first glBegin(mode) to its glEnd, inclusive.
Calls primitive(const Calls& calls, GLenum mode) {
    Calls found;
    for (const GlCall& call : calls) {
        if (found.empty() && !(call.name == "glBegin" && call.args[0] == mode)) continue;
        found.push_back(call);
        if (call.name == "glEnd") break;
    }
    return found;
}

// Everything from the legend box's colour to the end of the frame.
Calls legend(const Calls& calls) {
    for (size_t i = 0; i + 1 < calls.size(); ++i)
        if (calls[i + 1] == begin(GL_QUADS)) return Calls(calls.begin() + static_cast<long>(i), calls.end());
    return {};
}

size_t count_of(const Calls& calls, const GlCall& wanted) {
    size_t n = 0;
    for (const GlCall& call : calls) n += call == wanted;
    return n;
}

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_program_state();
        gl_recorder::reset();
        viewer.catalogue = {make_quake(2001, 1, 6, 37.65f, -118.77f, 1.2f),
                            make_quake(2003, 5, 2, 35.60f, -117.33f, 5.5f),
                            make_quake(2008, 12, 30, 36.07f, -121.41f, 3.7f)};
        viewer.quake_count = 3;
        viewer.points = {{-124, 42}, {-120, 32}, {-114, 35}};
        viewer.point_count = 3;
        viewer.first_index = 0;
        viewer.last_index = 3;
        viewer.window_first_date = make_date(2001, 1, 6);
        viewer.window_last_date = make_date(2008, 12, 30);
        viewer.min_magnitude = 3.0f;
        viewer.zoom = 1.1f;
        viewer.pan_x = 0.1f;
        viewer.pan_y = 0.6f;
        viewer.min_x = -125.0f;
        viewer.min_y = 32.0f;
        viewer.max_x = -114.0f;
        viewer.max_y = 42.0f;
        viewer.centre_x = -119.5f;
        viewer.centre_y = 37.0f;
    }

    // A view with no zoom or shift, so a vertex is its world coordinate.
    void plain_view_at_origin() {
        viewer.zoom = 1.0f;
        viewer.pan_x = viewer.pan_y = viewer.centre_x = viewer.centre_y = 0.0f;
    }

    Calls frame() {
        gl_recorder::reset();
        display_scene();
        return gl_recorder::calls();
    }
};

TEST_F(SceneTest, FrameDrawsMarksOutlineBoxAndLegendInOrder) {
    const View v = current_view();
    // The inputs are chosen so that evaluating the first drawn mark in float
    // would give a different vertex than the double evaluation.
    const QuakeRecord& q = viewer.catalogue[1];
    const float s = half_size(q.magnitude);
    ASSERT_NE(v.sy(static_cast<double>(q.latitude) - s), ((q.latitude - s) - v.cy) * v.zoom + v.oy);

    Calls expected{gl("glClear", {16640})};
    append_mark(expected, v, viewer.catalogue[1]);  // entry 0 is below the threshold
    append_mark(expected, v, viewer.catalogue[2]);
    append_outline(expected, v);
    expected.push_back(colour(0, 0, 0));
    expected.push_back(begin(GL_QUADS));
    expected.push_back(vertex(-125.1f, 31.8f));
    expected.push_back(vertex(-114.1f, 31.8f));
    expected.push_back(vertex(-114.1f, 32.5f));
    expected.push_back(vertex(-125.1f, 32.5f));
    expected.push_back(gl("glEnd"));
    expected.push_back(colour(1, 0, 0));
    append_text(expected, -125, 32, "Magnitude >= 3");
    append_text(expected, -116, 32, "2001/01/06 - 2008/12/30");
    expected.push_back(gl("glutSwapBuffers"));
    EXPECT_EQ(frame(), expected);

    // The outline's vertices, worked out by hand: (x + 119.5) * 1.1 - 119.4.
    const Calls outline = primitive(gl_recorder::calls(), GL_LINE_LOOP);
    ASSERT_EQ(outline.size(), 5u);
    EXPECT_EQ(outline[1], vertex(static_cast<float>(-4.5 * double(1.1f) + double(-119.5f + 0.1f)),
                                 static_cast<float>(5.0 * double(1.1f) + double(37.0f + 0.6f))));

    // Nothing the frame does changes the state it draws from.
    EXPECT_EQ(frame(), expected);
}

TEST_F(SceneTest, ThresholdColourAndSizeFollowMagnitude) {
    // The boundary: equal to the threshold is drawn, one float below is not.
    viewer.min_magnitude = 5.5f;
    Calls calls = frame();
    EXPECT_EQ(count_of(calls, begin(GL_LINES)), 1u);
    viewer.catalogue[1].magnitude = std::nextafter(5.5f, 0.0f);
    calls = frame();
    EXPECT_EQ(count_of(calls, begin(GL_LINES)), 0u);
    EXPECT_EQ(gl_recorder::texts()[0], "Magnitude >= 5");

    // Colour and half-size at the origin with a plain view: the vertices are
    // (-s, 0), (s, 0), (0, -s), (0, s).
    plain_view_at_origin();
    viewer.min_magnitude = 0.0f;
    viewer.catalogue.assign(1, make_quake(2001, 1, 1, 0.0f, 0.0f, 0.0f));
    viewer.quake_count = viewer.last_index = 1;
    const struct {
        float m, green, s;
    } cases[] = {
        {3.0f, 1.0f, 0.075f},                                // yellow
        {5.5f, 0.5f, half_size(5.5f)},                       // orange
        {8.0f, 0.0f, 0.2f},                                  // red
        {9.0f, static_cast<float>(-1.0 / 5.0), half_size(9.0f)},  // negative, left to the library
        {1.0f, static_cast<float>(7.0 / 5.0), 0.025f},       // above 1, left to the library
        {4.0f, static_cast<float>(4.0 / 5.0), 0.1f},         // bars 0.2 long
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m);
        viewer.catalogue[0].magnitude = c.m;
        calls = frame();
        const Calls expected{colour(1.0f, c.green, 0.0f), begin(GL_LINES), vertex(-c.s, 0), vertex(c.s, 0),
                             vertex(0, -c.s),             vertex(0, c.s),  gl("glEnd")};
        EXPECT_EQ(Calls(calls.begin() + 1, calls.begin() + 8), expected);
    }
}

TEST_F(SceneTest, ZoomScalesAboutTheCentreAndPanShiftsMapButNotLegend) {
    // Coordinates with few bits, so the doubling is exact in float.
    viewer.catalogue = {make_quake(2001, 1, 1, 37.25f, -118.5f, 2.5f)};
    viewer.quake_count = viewer.last_index = 1;
    viewer.min_magnitude = 0.0f;
    viewer.pan_x = viewer.pan_y = 0.0f;
    viewer.zoom = 1.0f;
    const Calls at_1 = frame();
    viewer.zoom = 2.0f;
    const Calls at_2 = frame();
    const Calls marks_1 = primitive(at_1, GL_LINES), marks_2 = primitive(at_2, GL_LINES);
    const Calls outline_1 = primitive(at_1, GL_LINE_LOOP), outline_2 = primitive(at_2, GL_LINE_LOOP);
    ASSERT_EQ(marks_1.size(), 6u);
    ASSERT_EQ(marks_2.size(), 6u);
    ASSERT_EQ(outline_2.size(), outline_1.size());
    EXPECT_EQ(marks_1[1], vertex(-118.5625f, 37.25f));
    auto doubled = [&](const GlCall& near, const GlCall& far) {
        EXPECT_EQ(far.args[0] - viewer.centre_x, 2 * (near.args[0] - viewer.centre_x));
        EXPECT_EQ(far.args[1] - viewer.centre_y, 2 * (near.args[1] - viewer.centre_y));
    };
    for (size_t i = 1; i < 5; ++i) doubled(marks_1[i], marks_2[i]);
    for (size_t i = 1; i + 1 < outline_1.size(); ++i) doubled(outline_1[i], outline_2[i]);
    EXPECT_EQ(legend(at_2), legend(at_1));

    // A pan of (0.1, -0.3) at zoom 2 moves every mark and outline vertex by
    // the float offset; the legend stays where it was.
    viewer.pan_x = 0.1f;
    viewer.pan_y = -0.3f;
    const Calls panned = frame();
    const View v = current_view();
    Calls expected_marks;
    append_mark(expected_marks, v, viewer.catalogue[0]);
    EXPECT_EQ(primitive(panned, GL_LINES), Calls(expected_marks.begin() + 1, expected_marks.end()));
    EXPECT_EQ(primitive(panned, GL_LINE_LOOP), [&] {
        Calls outline;
        append_outline(outline, v);
        return Calls(outline.begin() + 1, outline.end());
    }());
    EXPECT_NE(primitive(panned, GL_LINE_LOOP), outline_2);
    EXPECT_EQ(legend(panned), legend(at_1));

    // Far from the centre the outline's float difference rounds, and the
    // vertex follows that rounding rather than an all-double evaluation.
    viewer.zoom = 0.5f;
    viewer.points = {{33554435, -16777219}};
    viewer.point_count = 1;
    const View half = current_view();
    Calls far_outline;
    append_outline(far_outline, half);
    EXPECT_EQ(primitive(frame(), GL_LINE_LOOP), Calls(far_outline.begin() + 1, far_outline.end()));
    const double far_x = far_outline[2].args[0];
    EXPECT_NE(far_x, static_cast<float>((33554435.0 - half.cx) * half.zoom + half.ox));
    EXPECT_NE(far_x, static_cast<float>((double(float(33554435)) - half.cx) * half.zoom + half.ox));
}

TEST_F(SceneTest, EmptyRangesAndBadIndicesDrawOnlyWhatExists) {
    const Calls full = frame();

    // No drawn range: outline and legend as usual, no mark.
    viewer.first_index = viewer.last_index = 2;
    Calls calls = frame();
    EXPECT_EQ(count_of(calls, begin(GL_LINES)), 0u);
    EXPECT_EQ(Calls(calls.begin() + 1, calls.end()), Calls(full.begin() + 15, full.end()));
    viewer.first_index = 3;
    viewer.last_index = 1;
    EXPECT_EQ(count_of(frame(), begin(GL_LINES)), 0u);

    // An outline without vertices is an empty line loop.
    viewer.points.clear();
    viewer.point_count = 0;
    calls = frame();
    EXPECT_EQ(primitive(calls, GL_LINE_LOOP), (Calls{begin(GL_LINE_LOOP), gl("glEnd")}));
    EXPECT_EQ(legend(calls), legend(full));

    // Indices and counts beyond the catalogue read only the entries there are.
    viewer.points = {{-124, 42}, {-120, 32}, {-114, 35}};
    viewer.point_count = 1000;
    viewer.first_index = -5;
    viewer.last_index = 1000;
    viewer.quake_count = 1000;
    viewer.min_magnitude = 0.0f;
    calls = frame();
    EXPECT_EQ(count_of(calls, begin(GL_LINES)), 3u);
    const Calls first_mark = mark_calls(viewer.catalogue[0]);
    EXPECT_EQ(primitive(calls, GL_LINES), Calls(first_mark.begin() + 1, first_mark.end()));
    EXPECT_EQ(primitive(calls, GL_LINE_LOOP), primitive(full, GL_LINE_LOOP));
}

TEST_F(SceneTest, LegendPositionsAndTextsThatDoNotFit) {
    Calls box = primitive(frame(), GL_QUADS);
    EXPECT_EQ(box, (Calls{begin(GL_QUADS), vertex(-125.1f, 31.8f), vertex(-114.1f, 31.8f),
                          vertex(-114.1f, 32.5f), vertex(-125.1f, 32.5f), gl("glEnd")}));
    Calls raster = gl_recorder::calls_named("glRasterPos2f");
    EXPECT_EQ(raster, (Calls{gl("glRasterPos2f", {-125, 32}), gl("glRasterPos2f", {-116, 32})}));

    // From -8 up the date range starts 8 units right of the magnitude text.
    viewer.min_x = 0.0f;
    viewer.min_y = -3.0f;
    viewer.max_x = 11.0f;
    box = primitive(frame(), GL_QUADS);
    EXPECT_EQ(box[1], vertex(static_cast<float>(0 - 0.1), static_cast<float>(-3 - 0.2)));
    EXPECT_EQ(box[3], vertex(static_cast<float>(11 - 0.1), static_cast<float>(-3 + 0.5)));
    raster = gl_recorder::calls_named("glRasterPos2f");
    EXPECT_EQ(raster, (Calls{gl("glRasterPos2f", {0, -3}), gl("glRasterPos2f", {8, -3})}));

    // The date position is stored as a float before truncation: above 2^23
    // 8388617.5 rounds to 8388618.
    viewer.min_x = 8388609.0f;
    frame();
    EXPECT_EQ(gl_recorder::calls_named("glRasterPos2f")[1], gl("glRasterPos2f", {8388618, -3}));

    // Texts are cut to their 16- and 24-byte buffers.
    viewer.min_magnitude = 100.0f;
    viewer.window_first_date = make_date(99999, 1, 1);
    viewer.window_last_date = make_date(99999, 12, 31);
    frame();
    EXPECT_EQ(gl_recorder::texts(), (std::vector<std::string>{"Magnitude >= 10", "99999/01/0 - 99999/12/3"}));
    viewer.min_magnitude = -10.5f;
    std::memset(viewer.window_first_date.text_buffer, 'x', sizeof viewer.window_first_date.text_buffer);
    frame();
    EXPECT_EQ(gl_recorder::texts(), (std::vector<std::string>{"Magnitude >= -1", "xxxxxxxxxxx - 99999/12/"}));
    viewer.min_magnitude = 7.9f;
    frame();
    EXPECT_EQ(gl_recorder::texts()[0], "Magnitude >= 7");
}

}  // namespace
