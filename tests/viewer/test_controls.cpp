// Tests of the keyboard controls: threshold, zoom, pan, the playback keys and
// Escape.
#include <GL/glut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "app/playback_timer.h"
#include "app/viewer_state.h"
#include "tests/gl_recorder.h"
#include "tests/test_support.h"
#include "timeline/time_window.h"
#include "view/controls.h"

namespace {

// Everything a key may change.
struct KeyState {
    int32_t mode;
    int32_t first_index;
    int32_t last_index;
    std::string first_date;
    std::string last_date;
    float min_magnitude;
    float zoom;
    float pan_x;
    float pan_y;

    bool operator==(const KeyState& o) const {
        return mode == o.mode && first_index == o.first_index && last_index == o.last_index &&
               first_date == o.first_date && last_date == o.last_date && min_magnitude == o.min_magnitude &&
               zoom == o.zoom && pan_x == o.pan_x && pan_y == o.pan_y;
    }
};

std::ostream& operator<<(std::ostream& out, const KeyState& s) {
    return out << "{mode " << s.mode << ", " << s.first_index << ".." << s.last_index << ", " << s.first_date
               << " - " << s.last_date << ", threshold " << s.min_magnitude << ", zoom " << s.zoom << ", pan "
               << s.pan_x << "," << s.pan_y << "}";
}

KeyState key_state() {
    return {viewer.mode,          viewer.first_index, viewer.last_index, viewer.window_first_date.text(),
            viewer.window_last_date.text(), viewer.min_magnitude, viewer.zoom, viewer.pan_x, viewer.pan_y};
}

// Start-up's view and a small sorted catalogue, its window over all of it.
void start_viewer() {
    reset_program_state();
    gl_recorder::reset();
    set_view_defaults();
    const int dates[][3] = {{2000, 1, 1}, {2000, 1, 10}, {2000, 1, 31}, {2000, 2, 5}, {2000, 2, 20}, {2000, 3, 1}};
    for (const auto& d : dates) viewer.catalogue.push_back(make_quake(d[0], d[1], d[2], 1.0f, 2.0f, 4.0f));
    viewer.quake_count = static_cast<int32_t>(viewer.catalogue.size());
    set_step_days(10);
    window_reset();
}

void press(unsigned char key) { on_key(key, 0, 0); }

class Controls : public ::testing::Test {
protected:
    void SetUp() override { start_viewer(); }
};

// --- Magnitude threshold ----------------------------------------------------

TEST_F(Controls, ThresholdKeysSetZeroAndThreeToSeven) {
    const char keys[] = {'5', '3', '7', '4', '6', '0'};
    const float values[] = {5.0f, 3.0f, 7.0f, 4.0f, 6.0f, 0.0f};
    for (int i = 0; i < 6; ++i) {
        press(static_cast<unsigned char>(keys[i]));
        EXPECT_EQ(viewer.min_magnitude, values[i]) << "key " << keys[i];
    }
}

TEST_F(Controls, DigitsOneTwoEightNineAreIgnored) {
    press('5');
    const KeyState before = key_state();
    for (unsigned char key : {'1', '2', '8', '9'}) {
        press(key);
        EXPECT_EQ(key_state(), before) << "key " << key;
    }
}

// --- Zoom -------------------------------------------------------------------

TEST_F(Controls, ZoomOutStopsAtItsFloorAndZoomInStillWorks) {
    float expected = 1.0f;
    const float step = 0.01f;
    for (int i = 0; i < 99; ++i) {
        expected = static_cast<float>(expected - step);
        press('z');
    }
    EXPECT_EQ(viewer.zoom, expected);
    EXPECT_NEAR(viewer.zoom, 0.0100007, 1e-7);

    for (int i = 0; i < 20; ++i) press(i % 2 ? 'z' : 'Z');
    EXPECT_EQ(viewer.zoom, expected);  // the next candidate is about 0.00000067

    press('a');
    EXPECT_EQ(viewer.zoom, static_cast<float>(expected + step));
}

TEST_F(Controls, ZoomInAddsOneStepInFloatWithoutLimit) {
    float expected = 1.0f;
    for (int i = 0; i < 1000; ++i) {
        expected = static_cast<float>(expected + 0.01f);
        press(i % 2 ? 'A' : 'a');
    }
    EXPECT_EQ(viewer.zoom, expected);
    EXPECT_GT(viewer.zoom, 10.9f);
}

TEST_F(Controls, ZoomOutTestsTheStoredCandidateAgainstTheDoubleFloor) {
    // 0.002f - 0.001f is exactly 0.001f, which lies just above 0.001 in double.
    viewer.zoom_step = 0.001f;
    viewer.zoom = 0.002f;
    press('z');
    EXPECT_EQ(viewer.zoom, 0.001f);
    press('z');  // candidate 0 is refused
    EXPECT_EQ(viewer.zoom, 0.001f);
}

// --- Pan --------------------------------------------------------------------

TEST_F(Controls, ArrowsPanOppositeToTheArrow) {
    on_special_key(GLUT_KEY_LEFT, 0, 0);
    EXPECT_EQ(viewer.pan_x, 0.0f + 0.1f);
    EXPECT_EQ(viewer.pan_y, 0.6f);
    on_special_key(GLUT_KEY_UP, 0, 0);
    EXPECT_EQ(viewer.pan_y, static_cast<float>(0.6f - 0.1f));
    on_special_key(GLUT_KEY_RIGHT, 0, 0);
    on_special_key(GLUT_KEY_RIGHT, 0, 0);
    EXPECT_EQ(viewer.pan_x, static_cast<float>(static_cast<float>(0.1f - 0.1f) - 0.1f));
    on_special_key(GLUT_KEY_DOWN, 0, 0);
    on_special_key(GLUT_KEY_DOWN, 0, 0);
    EXPECT_EQ(viewer.pan_y, static_cast<float>(static_cast<float>(0.5f + 0.1f) + 0.1f));
    EXPECT_EQ(viewer.pan_step_x, 0.1f);
    EXPECT_EQ(viewer.pan_step_y, 0.1f);
}

TEST_F(Controls, OtherSpecialKeysAndArrowCodesAsCharactersDoNothing) {
    const KeyState before = key_state();
    for (int key : {GLUT_KEY_F1, GLUT_KEY_F5, GLUT_KEY_F12, GLUT_KEY_PAGE_UP, GLUT_KEY_PAGE_DOWN, GLUT_KEY_HOME,
                    GLUT_KEY_END, GLUT_KEY_INSERT, 0, -1, 99, 104, 1000})
        on_special_key(key, 0, 0);
    EXPECT_EQ(key_state(), before);
    // Character codes 100 to 103 ('d' to 'g' less 'g') share the arrows' numbers.
    for (unsigned char key : {'d', 'e', 'f'}) press(key);
    EXPECT_EQ(key_state(), before);
}

// --- Keys that do nothing, and case ------------------------------------------

TEST_F(Controls, KeysOutsideTheTableDoNothing) {
    const KeyState before = key_state();
    for (int key = 0; key < 256; ++key) {
        if (key == 27 || std::string("034567aAzZgGhHoOpP").find(static_cast<char>(key)) != std::string::npos)
            continue;
        press(static_cast<unsigned char>(key));
        ASSERT_EQ(key_state(), before) << "key code " << key;
    }
}

TEST_F(Controls, UpperAndLowerCaseActAlike) {
    // The same sequence in each case, from the same start, ends in the same state.
    const std::string lower = "pgghaazohgp";
    std::string upper;
    for (char c : lower) upper.push_back(static_cast<char>(c - 'a' + 'A'));

    for (char c : lower) press(static_cast<unsigned char>(c));
    const KeyState after_lower = key_state();
    start_viewer();
    for (char c : upper) press(static_cast<unsigned char>(c));
    EXPECT_EQ(key_state(), after_lower);
    EXPECT_EQ(after_lower.mode, Playing);
    EXPECT_NE(after_lower.zoom, 1.0f);  // the sequence did something to compare
}

// --- Playback keys ----------------------------------------------------------

// Which way each key moves the window and which mode it leaves; where the
// window lands after a step is the time window's tests' business.
TEST_F(Controls, PlaybackKeysPauseStepPlayAndReset) {
    press('p');
    EXPECT_EQ(viewer.mode, Playing);
    on_timer(1);
    on_timer(1);
    const CalendarDate playing_first = viewer.window_first_date;

    press('g');  // while playing: pause, then one step forward
    EXPECT_EQ(viewer.mode, Paused);
    EXPECT_TRUE(viewer.window_first_date.is_after(playing_first)) << viewer.window_first_date.text();
    const KeyState stepped = key_state();
    on_timer(1);
    EXPECT_EQ(key_state(), stepped);  // paused: the timer moves nothing

    press('h');  // one step back, still paused
    EXPECT_EQ(viewer.mode, Paused);
    EXPECT_TRUE(viewer.window_first_date.equals(playing_first)) << viewer.window_first_date.text();

    const KeyState before_play = key_state();
    press('p');  // playing again, with no step until the timer ticks
    EXPECT_EQ(viewer.mode, Playing);
    EXPECT_EQ(key_state().last_date, before_play.last_date);
    on_timer(1);
    EXPECT_TRUE(viewer.window_first_date.is_after(playing_first));

    press('h');  // while playing: pause, then one step back
    EXPECT_EQ(viewer.mode, Paused);
    EXPECT_TRUE(viewer.window_first_date.equals(playing_first)) << viewer.window_first_date.text();

    press('o');  // the whole catalogue again
    EXPECT_EQ(viewer.mode, FullRange);
    EXPECT_EQ(viewer.first_index, 0);
    EXPECT_EQ(viewer.last_index, 5);
}

TEST_F(Controls, ResetAfterZoomAndPanKeepsViewAndThreshold) {
    press('p');
    on_timer(1);
    press('a');
    press('a');
    press('z');
    on_special_key(GLUT_KEY_LEFT, 0, 0);
    on_special_key(GLUT_KEY_DOWN, 0, 0);
    press('6');
    const KeyState before = key_state();

    press('o');
    const KeyState after = key_state();
    EXPECT_EQ(after.mode, FullRange);
    EXPECT_EQ(after.zoom, before.zoom);
    EXPECT_EQ(after.pan_x, before.pan_x);
    EXPECT_EQ(after.pan_y, before.pan_y);
    EXPECT_EQ(after.min_magnitude, 6.0f);
}

TEST_F(Controls, KeysOnAnEmptyCatalogueAreSafe) {
    reset_program_state();
    viewer.zoom_step = 0.01f;
    viewer.zoom = 1.0f;
    for (unsigned char key : {'p', 'g', 'h', 'o', 'G', 'H', 'P', 'O', '5', 'a'}) press(key);
    on_timer(1);
    EXPECT_EQ(viewer.mode, FullRange);
    EXPECT_EQ(viewer.first_index, 0);
    EXPECT_EQ(viewer.last_index, 0);
    EXPECT_EQ(viewer.min_magnitude, 5.0f);
    EXPECT_EQ(viewer.zoom, static_cast<float>(1.0f + 0.01f));
}

// --- Escape -------------------------------------------------------------------

using ControlsDeathTest = Controls;

TEST_F(ControlsDeathTest, EscapeSaysExitingAndEndsWithStatusZero) {
    // Standard output goes to standard error inside the dying process, where
    // the death test's pattern is matched.
    EXPECT_EXIT(
        {
            dup2(2, 1);
            press(27);
        },
        ::testing::ExitedWithCode(0), "^Exiting\\.\\.\\.\n$");
}

}  // namespace
