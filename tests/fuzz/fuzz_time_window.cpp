// Fuzz target: the time window driven by an arbitrary catalogue (sorted or
// not, empty included) and an arbitrary sequence of keys, arrow keys, timer
// ticks and frames, with any step_days. After every event the window's
// indices must lie within the catalogue, the mode must be one of the three,
// and a frame must hand over exactly the vertices of the entries it may
// draw and of the outline. Linked against the recording gl stand-in.
#include <fuzzer/FuzzedDataProvider.h>

#include <GL/glut.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "app/playback_timer.h"
#include "app/viewer_state.h"
#include "calendar/calendar_date.h"
#include "tests/gl_recorder.h"
#include "timeline/time_window.h"
#include "view/controls.h"
#include "view/scene.h"

namespace {

constexpr int kMaxEntries = 200;
constexpr int kMaxVertices = 40;
constexpr unsigned char kEscape = 27;  // ends the process; never sent

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr,
                 "time window invariant broken: %s (quake_count %d, first_index %d, last_index %d, mode %d, "
                 "step_days %d)\n",
                 what, static_cast<int>(viewer.quake_count), static_cast<int>(viewer.first_index),
                 static_cast<int>(viewer.last_index), static_cast<int>(viewer.mode), static_cast<int>(step_days));
    std::abort();
}

CalendarDate next_date(FuzzedDataProvider& in, const CalendarDate& previous) {
    CalendarDate date;
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0:
        case 1:
        case 2:
        case 3: {  // a few days after the previous entry, as a real catalogue runs
            date = previous;
            const int32_t saved = step_days;
            set_step_days(in.ConsumeIntegralInRange<int32_t>(0, 40));
            date.advance();
            set_step_days(saved);
            break;
        }
        case 4:  // the same day as the previous entry
            date = previous;
            break;
        case 5:  // any well-formed date of a plausible catalogue: unsorted
            date.year = in.ConsumeIntegralInRange<int32_t>(1990, 2010);
            date.month = in.ConsumeIntegralInRange<int32_t>(1, 12);
            date.day = in.ConsumeIntegralInRange<int32_t>(1, days_in_month[date.month]);
            break;
        case 6:  // what a malformed line can give
            date.year = in.ConsumeIntegralInRange<int32_t>(-5, 99999);
            date.month = in.ConsumeIntegralInRange<int32_t>(-5, 13);
            date.day = in.ConsumeIntegralInRange<int32_t>(0, 99);
            break;
        default:
            date.year = in.ConsumeIntegral<int32_t>();
            date.month = in.ConsumeIntegral<int32_t>();
            date.day = in.ConsumeIntegral<int32_t>();
            break;
    }
    return date;
}

float make_magnitude(FuzzedDataProvider& in) {
    // The loader keeps only magnitudes above 0, inf included.
    const uint8_t kind = in.ConsumeIntegral<uint8_t>();
    if (kind < 240) return 0.05f + static_cast<float>(kind) / 25.0f;  // 0.05 to 9.6
    return in.PickValueInArray<float>({std::numeric_limits<float>::denorm_min(), 1e-30f, 99.0f, 1e30f,
                                       std::numeric_limits<float>::max(),
                                       std::numeric_limits<float>::infinity()});
}

void fill_catalogue(FuzzedDataProvider& in) {
    const int count = in.ConsumeIntegralInRange<int>(0, kMaxEntries);
    // Exactly `count` elements and no spare capacity, so that AddressSanitizer
    // reports a read one past the end.
    viewer.catalogue = std::vector<QuakeRecord>(static_cast<size_t>(count));
    CalendarDate previous;
    previous.year = 2001;
    for (QuakeRecord& record : viewer.catalogue) {
        record.date = next_date(in, previous);
        previous = record.date;
        record.latitude = 32.0f + static_cast<float>(in.ConsumeIntegral<uint8_t>()) / 25.0f;
        record.longitude = -125.0f + static_cast<float>(in.ConsumeIntegral<uint8_t>()) / 20.0f;
        record.magnitude = make_magnitude(in);
    }
    viewer.quake_count = count;
}

void fill_outline(FuzzedDataProvider& in) {
    const int count = in.ConsumeIntegralInRange<int>(0, kMaxVertices);
    viewer.points = std::vector<LandscapePoint>(static_cast<size_t>(count));
    const bool wild = in.ConsumeBool();
    for (LandscapePoint& point : viewer.points) {
        point.y = wild ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange<int32_t>(30, 45);
        point.x = wild ? in.ConsumeIntegral<int32_t>() : in.ConsumeIntegralInRange<int32_t>(-126, -112);
    }
    viewer.point_count = count;
    // Bounds as the loader measures them: 0 / 99999 with no vertex.
    int32_t min_x = 99999, min_y = 99999, max_x = 0, max_y = 0;
    if (count > 0) {
        min_x = max_x = viewer.points[0].x;
        min_y = max_y = viewer.points[0].y;
    }
    for (const LandscapePoint& point : viewer.points) {
        min_x = std::min(min_x, point.x);
        max_x = std::max(max_x, point.x);
        min_y = std::min(min_y, point.y);
        max_y = std::max(max_y, point.y);
    }
    viewer.min_x = static_cast<float>(min_x);
    viewer.max_x = static_cast<float>(max_x);
    viewer.min_y = static_cast<float>(min_y);
    viewer.max_y = static_cast<float>(max_y);
    viewer.centre_x = (viewer.max_x + viewer.min_x) / 2;
    viewer.centre_y = (viewer.max_y + viewer.min_y) / 2;
}

int32_t make_step(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: {  // as start-up derives it, at least one day
            const int32_t span = viewer.quake_count > 0
                                     ? day_span(viewer.window_first_date, viewer.window_last_date)
                                     : 0;
            return std::max<int32_t>(1, (span / 1200) * 2);
        }
        case 1:
            return in.ConsumeIntegralInRange<int32_t>(-40, 400);
        case 2:
            return in.PickValueInArray<int32_t>({0, -1, 30, 365, 100000, std::numeric_limits<int32_t>::max(),
                                                 std::numeric_limits<int32_t>::min()});
        default:
            return in.ConsumeIntegral<int32_t>();
    }
}

void check_date_text(const CalendarDate& date) {
    if (std::memchr(date.text(), '\0', sizeof date.text_buffer) == nullptr) fail("window date text not terminated");
}

void check_state(int32_t expected_step) {
    const int32_t count = viewer.quake_count;
    if (viewer.mode != FullRange && viewer.mode != Playing && viewer.mode != Paused) fail("mode out of range");
    if (count > 0) {
        if (viewer.first_index < 0 || viewer.first_index > count - 1) fail("first_index outside 0..quake_count-1");
        if (viewer.last_index < 0 || viewer.last_index > count) fail("last_index outside 0..quake_count");
        if (viewer.mode == FullRange && viewer.first_index != 0) fail("first_index not 0 in FullRange");
    } else if (viewer.first_index != 0 || viewer.last_index != 0) {
        fail("indices moved over an empty catalogue");
    }
    if (step_days != expected_step) fail("step_days changed");
    check_date_text(viewer.window_first_date);
    check_date_text(viewer.window_last_date);
}

// One frame: the marks of the drawn range that reach the threshold (four
// vertices each), the outline's vertices and the legend box's four.
void check_frame() {
    gl_recorder::reset();
    display_scene();
    size_t marks = 0;
    const int32_t end = std::min(viewer.last_index, viewer.quake_count);
    for (int32_t i = std::max(viewer.first_index, 0); i < end; ++i)
        if (!(viewer.catalogue[static_cast<size_t>(i)].magnitude < viewer.min_magnitude)) ++marks;
    size_t vertices = 0;
    size_t swaps = 0;
    for (const GlCall& call : gl_recorder::calls()) {
        if (call.name == "glVertex2f") ++vertices;
        if (call.name == "glutSwapBuffers") ++swaps;
    }
    if (vertices != 4 * marks + static_cast<size_t>(viewer.point_count) + 4) fail("frame vertex count");
    if (swaps != 1) fail("frame not swapped exactly once");
    gl_recorder::reset();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    viewer = ViewerState();
    gl_recorder::reset();
    set_step_days(1);

    fill_catalogue(in);
    const std::vector<QuakeRecord> original = viewer.catalogue;
    fill_outline(in);

    // The view as start-up leaves it.
    set_view_defaults();
    window_reset();
    set_step_days(make_step(in));
    const int32_t step = step_days;
    check_state(step);

    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
            case 0: {
                const unsigned char key = in.ConsumeIntegral<unsigned char>();
                if (key != kEscape) on_key(key, 0, 0);
                break;
            }
            case 1:
                on_special_key(in.ConsumeIntegralInRange<int>(GLUT_KEY_F1, GLUT_KEY_INSERT), 0, 0);
                break;
            case 2:
                on_timer(1);
                gl_recorder::reset();  // drop the recorded re-arm
                break;
            default:
                check_frame();
                break;
        }
        check_state(step);
    }
    check_frame();

    // The window only reads the catalogue.
    if (viewer.catalogue.size() != original.size()) fail("catalogue resized");
    for (size_t i = 0; i < original.size(); ++i) {
        const QuakeRecord& was = original[i];
        const QuakeRecord& is = viewer.catalogue[i];
        if (!is.date.equals(was.date) || std::memcmp(&is.magnitude, &was.magnitude, sizeof was.magnitude) != 0 ||
            is.latitude != was.latitude || is.longitude != was.longitude)
            fail("catalogue entry changed");
    }
    return 0;
}
