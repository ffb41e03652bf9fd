// Frame selection: frame 0 is the window as playback starts it, frame k the
// viewer after k presses of 'g', the last frame the step that reaches the
// catalogue's end; --from and --every pick among them; the view options go
// where the viewer's keys put them.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/viewer_state.h"
#include "record/frame_plan.h"
#include "tests/gl_recorder.h"
#include "tests/test_support.h"
#include "timeline/time_window.h"
#include "view/controls.h"

namespace {

struct Window {
    int32_t mode, first, last;
    std::string first_date, last_date;
    bool operator==(const Window& o) const {
        return mode == o.mode && first == o.first && last == o.last && first_date == o.first_date &&
               last_date == o.last_date;
    }
};

std::ostream& operator<<(std::ostream& out, const Window& w) {
    return out << "{mode " << w.mode << ", " << w.first << ".." << w.last << ", " << w.first_date << " - "
               << w.last_date << "}";
}

Window window() {
    return {viewer.mode, viewer.first_index, viewer.last_index, viewer.window_first_date.text(),
            viewer.window_last_date.text()};
}

class FramePlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_program_state();
        gl_recorder::reset();
    }
    void TearDown() override { reset_program_state(); }

    // One entry every `gap` days from 2000/01/01 for `days` days, step_days
    // `step`, the window over all of it as start-up leaves it.
    void load(int days, int gap, int step) {
        set_step_days(gap);
        CalendarDate date = make_date(2000, 1, 1);
        for (int d = 0; d < days; d += gap) {
            viewer.catalogue.push_back(make_quake(date.year, date.month, date.day, 1.0f, 1.0f, 3.0f + d % 5));
            date.advance();
        }
        viewer.quake_count = static_cast<int32_t>(viewer.catalogue.size());
        set_step_days(step);
        set_view_defaults();
        window_reset();
    }

    // The viewer's state after `presses` presses of 'g' from start-up.
    static Window after_g(int64_t presses) {
        window_reset();
        for (int64_t i = 0; i < presses; ++i) on_key('g', 0, 0);
        return window();
    }

    // The recorder's frames 0..last as the recording loop makes them.
    static std::vector<Window> recorder_frames(int64_t last) {
        window_reset();
        start_playback();
        std::vector<Window> frames{window()};
        for (int64_t k = 1; k <= last; ++k) {
            step_forward();
            frames.push_back(window());
        }
        return frames;
    }
};

TEST_F(FramePlanTest, FrameZeroIsTheWindowAsPlayStartsIt) {
    load(400, 3, 10);
    Window played;
    {
        on_key('p', 0, 0);
        played = window();
        window_reset();
    }
    start_playback();
    const Window frame0 = window();
    EXPECT_EQ(frame0.first, played.first);
    EXPECT_EQ(frame0.last, played.last);
    EXPECT_EQ(frame0.first_date, "2000/01/01");
    EXPECT_EQ(frame0.last_date, "2000/01/31");
    EXPECT_EQ(frame0.first_date, played.first_date);
    EXPECT_EQ(frame0.last_date, played.last_date);
}

TEST_F(FramePlanTest, FrameKIsTheViewerAfterKPressesOfG) {
    load(400, 3, 10);
    FramePlan plan;
    std::string error;
    ASSERT_TRUE(plan_frames(RecordOptions{}, &plan, &error)) << error;
    // 400 days in 10-day steps from a 30-day window: the end passes the last
    // entry (day 399) at the step whose window ends after it.
    EXPECT_EQ(plan.first, 0);
    EXPECT_EQ(plan.last, 37);
    const std::vector<Window> frames = recorder_frames(plan.last);
    for (int64_t k = 1; k <= plan.last; ++k) EXPECT_EQ(frames[static_cast<size_t>(k)], after_g(k)) << "frame " << k;
}

TEST_F(FramePlanTest, TheLastFrameIsTheFirstThatFurtherPressesDoNotChange) {
    for (int step : {1, 4, 10, 29}) {
        SCOPED_TRACE(step);
        reset_program_state();
        load(200, 7, step);
        FramePlan plan;
        std::string error;
        ASSERT_TRUE(plan_frames(RecordOptions{}, &plan, &error));
        ASSERT_GE(plan.last, 1);
        after_g(plan.last - 1);
        EXPECT_FALSE(window_at_end());
        after_g(plan.last);
        EXPECT_TRUE(window_at_end());
        EXPECT_NE(after_g(plan.last - 1).last_date, after_g(plan.last).last_date);
        EXPECT_EQ(after_g(plan.last), after_g(plan.last + 1));
        EXPECT_EQ(after_g(plan.last), after_g(plan.last + 5));
    }
}

TEST_F(FramePlanTest, PlanningLeavesTheWindowAtFrameZero) {
    load(400, 3, 10);
    start_playback();
    const Window frame0 = window();
    window_reset();
    FramePlan plan;
    std::string error;
    ASSERT_TRUE(plan_frames(RecordOptions{}, &plan, &error));
    EXPECT_EQ(window(), frame0);
}

TEST_F(FramePlanTest, ACatalogueInsideOneWindowIsOneFrame) {
    load(20, 1, 1);  // every entry within the first 30 days
    FramePlan plan;
    std::string error;
    ASSERT_TRUE(plan_frames(RecordOptions{}, &plan, &error));
    EXPECT_EQ(plan.first, 0);
    EXPECT_EQ(plan.last, 0);
    EXPECT_EQ(plan.kept_count(), 1);
}

TEST_F(FramePlanTest, FromStartsAtTheFirstWindowThatReachesTheDate) {
    load(400, 3, 10);  // the window's first date: 2000/01/01, 01/11, 01/21, ...
    RecordOptions options;
    options.from_given = true;
    struct Case {
        CalendarDate from;
        int64_t first;
    };
    for (const Case& c : {Case{make_date(1999, 6, 1), 0}, Case{make_date(2000, 1, 1), 0},
                          Case{make_date(2000, 1, 2), 1}, Case{make_date(2000, 1, 11), 1},
                          Case{make_date(2000, 1, 15), 2}, Case{make_date(2000, 2, 10), 4},
                          Case{make_date(2001, 1, 6), 37}}) {
        options.from = c.from;
        FramePlan plan;
        std::string error;
        ASSERT_TRUE(plan_frames(options, &plan, &error)) << error;
        EXPECT_EQ(plan.first, c.first) << c.from.month << "/" << c.from.day;
        EXPECT_EQ(plan.last, 37);
    }
    // The last frame's window starts on day 370 of the 365-day calendar.
    options.from = make_date(2001, 1, 7);
    FramePlan plan;
    std::string error;
    EXPECT_FALSE(plan_frames(options, &plan, &error));
    EXPECT_NE(error.find("--from 2001/01/07 is never reached"), std::string::npos) << error;
    EXPECT_NE(error.find("the last window starts on 2001/01/06"), std::string::npos) << error;
}

TEST_F(FramePlanTest, AnEndlessPlaybackIsRefused) {
    // One entry thousands of years after its neighbours: the step comes from
    // the first and last entries (one day apart), so reaching it would take
    // millions of frames.
    viewer.catalogue = {make_quake(2000, 1, 1, 0, 0, 3), make_quake(9000, 1, 1, 0, 0, 3),
                        make_quake(2000, 1, 2, 0, 0, 3)};
    viewer.quake_count = 3;
    set_step_days(1);
    window_reset();
    FramePlan plan;
    std::string error;
    EXPECT_FALSE(plan_frames(RecordOptions{}, &plan, &error));
    EXPECT_NE(error.find("more than " + std::to_string(kMaxFrames) + " frames"), std::string::npos) << error;
}

TEST(FramePlanSelection, EveryKeepsTheFirstEveryNthAndTheLast) {
    const auto kept = [](const FramePlan& plan) {
        std::vector<int64_t> frames;
        for (int64_t k = 0; k <= plan.last + 2; ++k)
            if (plan.keeps(k)) frames.push_back(k);
        EXPECT_EQ(static_cast<int64_t>(frames.size()), plan.kept_count());
        return frames;
    };
    EXPECT_EQ(kept(FramePlan{2, 10, 3}), (std::vector<int64_t>{2, 5, 8, 10}));
    EXPECT_EQ(kept(FramePlan{0, 9, 3}), (std::vector<int64_t>{0, 3, 6, 9}));
    EXPECT_EQ(kept(FramePlan{0, 4, 1}), (std::vector<int64_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(kept(FramePlan{0, 4, 100}), (std::vector<int64_t>{0, 4}));
    EXPECT_EQ(kept(FramePlan{7, 7, 2}), (std::vector<int64_t>{7}));
}

TEST_F(FramePlanTest, ViewOptionsGoWhereTheKeysPutThem) {
    load(100, 3, 1);
    RecordOptions options;
    options.min_magnitude = 4;
    options.pan_x = 0.1f;
    options.pan_y = -0.1f;
    apply_view_options(options);
    EXPECT_EQ(viewer.min_magnitude, 4.0f);
    EXPECT_EQ(viewer.zoom, 1.0f);
    // One Left and one Up arrow from start-up give the same pan, bit for bit.
    const float pan_x = viewer.pan_x;
    const float pan_y = viewer.pan_y;
    set_view_defaults();
    on_special_key(GLUT_KEY_LEFT, 0, 0);
    on_special_key(GLUT_KEY_UP, 0, 0);
    EXPECT_EQ(pan_x, viewer.pan_x);
    EXPECT_EQ(pan_y, viewer.pan_y);

    options.zoom_given = true;
    options.zoom = 2.5f;
    apply_view_options(options);
    EXPECT_EQ(viewer.zoom, 2.5f);
}

}  // namespace
