// Tests of the time window: collapse, steps, reset, the playback modes and
// the timer, on sorted, unsorted, tiny and empty catalogues.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/playback_timer.h"
#include "app/viewer_state.h"
#include "tests/gl_recorder.h"
#include "tests/test_support.h"
#include "timeline/time_window.h"

namespace {

struct Day {
    int year, month, day;
};

// Installs `days` as the catalogue and opens the window over all of it, as
// start-up does.
void load_catalogue(const std::vector<Day>& days, int32_t step) {
    for (const Day& d : days) viewer.catalogue.push_back(make_quake(d.year, d.month, d.day, 0.0f, 0.0f, 1.0f));
    viewer.quake_count = static_cast<int32_t>(viewer.catalogue.size());
    set_step_days(step);
    window_reset();
}

// Six entries with step_days 10: the reference walk-through of the window.
const std::vector<Day> kSixEntries = {{2000, 1, 1},  {2000, 1, 10}, {2000, 1, 31},
                                      {2000, 2, 5},  {2000, 2, 20}, {2000, 3, 1}};

// The whole window, for comparing states.
struct WindowState {
    int32_t mode;
    int32_t first_index;
    int32_t last_index;
    std::string first_date;
    std::string last_date;

    bool operator==(const WindowState& o) const {
        return mode == o.mode && first_index == o.first_index && last_index == o.last_index &&
               first_date == o.first_date && last_date == o.last_date;
    }
};

std::ostream& operator<<(std::ostream& out, const WindowState& s) {
    return out << "{mode " << s.mode << ", " << s.first_index << ".." << s.last_index << ", " << s.first_date
               << " - " << s.last_date << "}";
}

WindowState window_state() {
    return {viewer.mode, viewer.first_index, viewer.last_index, viewer.window_first_date.text(),
            viewer.window_last_date.text()};
}

// What the 'g' and 'h' keys run (the keys themselves are the controls'
// tests' business).
void pause_and_step_forward() {
    window_pause();
    window_step_forward();
}
void pause_and_step_back() {
    window_pause();
    window_step_back();
}
void tick() { on_timer(1); }

class TimeWindow : public ::testing::Test {
protected:
    void SetUp() override {
        reset_program_state();
        gl_recorder::reset();
    }
};

// --- The reference walk-through, row by row -------------------------------

enum class Event { StartUp, Play, Tick, StepBack };

struct Row {
    Event event;
    int32_t mode;
    int32_t first_index;
    int32_t last_index;
    const char* first_date;
    const char* last_date;
    int32_t drawn_from;  // first drawn index
    int32_t drawn_to;    // last drawn index
};

TEST_F(TimeWindow, WorkedExampleRowByRow) {
    const Row rows[] = {
        {Event::StartUp, FullRange, 0, 5, "2000/01/01", "2000/03/01", 0, 4},
        {Event::Play, Playing, 0, 2, "2000/01/01", "2000/01/31", 0, 1},
        {Event::Tick, Playing, 2, 4, "2000/01/11", "2000/02/10", 2, 3},
        {Event::Tick, Playing, 2, 5, "2000/01/21", "2000/02/20", 2, 4},
        {Event::Tick, Playing, 2, 6, "2000/01/31", "2000/03/02", 2, 5},
        {Event::Tick, Paused, 2, 6, "2000/01/31", "2000/03/02", 2, 5},
        {Event::StepBack, Paused, 1, 4, "2000/01/21", "2000/02/20", 1, 3},
        {Event::StepBack, Paused, 1, 3, "2000/01/11", "2000/02/10", 1, 2},
    };
    int row_number = 0;
    for (const Row& row : rows) {
        switch (row.event) {
            case Event::StartUp: load_catalogue(kSixEntries, 10); break;
            case Event::Play: window_play(); break;
            case Event::Tick: tick(); break;
            case Event::StepBack: pause_and_step_back(); break;
        }
        SCOPED_TRACE("row " + std::to_string(row_number++));
        EXPECT_EQ(window_state(),
                  (WindowState{row.mode, row.first_index, row.last_index, row.first_date, row.last_date}));
        EXPECT_EQ(viewer.first_index, row.drawn_from);
        EXPECT_EQ(viewer.last_index - 1, row.drawn_to);
    }
}

// --- Reaching the end of the catalogue ------------------------------------

TEST_F(TimeWindow, PlayingToTheEndPausesAndPlayResumesOnlyUntilTheNextTick) {
    load_catalogue(kSixEntries, 10);
    window_play();
    for (int i = 0; i < 3; ++i) tick();
    const WindowState at_end{Playing, 2, 6, "2000/01/31", "2000/03/02"};
    ASSERT_EQ(window_state(), at_end);  // the step that passes the last entry still moved

    tick();
    WindowState paused = at_end;
    paused.mode = Paused;
    EXPECT_EQ(window_state(), paused);  // nothing moved

    window_play();
    WindowState playing = at_end;
    EXPECT_EQ(window_state(), playing);
    tick();
    EXPECT_EQ(window_state(), paused);

    pause_and_step_forward();  // a forward step at the end stays put
    EXPECT_EQ(window_state(), paused);
}

TEST_F(TimeWindow, BackwardStepAfterTheEndStartsFromTheLastEntry) {
    // The last entry is out of order, so the backward scan keeps it: the step
    // back must start from index 3, not from one past the end.
    load_catalogue({{2000, 1, 1}, {2000, 1, 20}, {2000, 2, 10}, {2000, 1, 5}}, 10);
    window_play();
    tick();
    tick();
    ASSERT_EQ(viewer.last_index, 4);
    tick();
    ASSERT_EQ(viewer.mode, Paused);

    pause_and_step_back();
    EXPECT_EQ(window_state(), (WindowState{Paused, 0, 3, "2000/01/11", "2000/02/10"}));
}

TEST_F(TimeWindow, OneEntryCatalogue) {
    load_catalogue({{2003, 6, 15}}, 2);
    EXPECT_EQ(window_state(), (WindowState{FullRange, 0, 0, "2003/06/15", "2003/06/15"}));  // nothing drawn

    window_play();
    EXPECT_EQ(window_state(), (WindowState{Playing, 0, 1, "2003/06/15", "2003/07/15"}));  // the entry drawn
    tick();
    EXPECT_EQ(window_state(), (WindowState{Paused, 0, 1, "2003/06/15", "2003/07/15"}));

    pause_and_step_back();  // first_index 0: no step back
    EXPECT_EQ(window_state(), (WindowState{Paused, 0, 1, "2003/06/15", "2003/07/15"}));
    window_reset();
    EXPECT_EQ(window_state(), (WindowState{FullRange, 0, 0, "2003/06/15", "2003/06/15"}));
}

// --- Entries dated exactly on the window's last date ----------------------

TEST_F(TimeWindow, EntryOnLastDateIsOutsideAfterCollapseAndInsideAfterForwardStep) {
    load_catalogue({{2000, 1, 1}, {2000, 1, 31}, {2000, 2, 10}, {2000, 3, 1}}, 10);
    window_play();
    EXPECT_EQ(window_state(), (WindowState{Playing, 0, 1, "2000/01/01", "2000/01/31"}));  // 01/31 left out
    EXPECT_EQ(find_window_end(make_date(2000, 1, 31)), 1);
    EXPECT_EQ(find_window_end(make_date(2000, 2, 1)), 2);

    tick();
    EXPECT_EQ(window_state(), (WindowState{Playing, 1, 3, "2000/01/11", "2000/02/10"}));  // 02/10 taken in
}

TEST_F(TimeWindow, BackwardStepPassesEntriesOnTheNewFirstDate) {
    load_catalogue({{2000, 1, 1}, {2000, 1, 11}, {2000, 1, 21}, {2000, 2, 15}}, 10);
    window_play();
    tick();
    tick();
    ASSERT_EQ(window_state(), (WindowState{Playing, 2, 4, "2000/01/21", "2000/02/20"}));
    pause_and_step_back();  // entry 1 is dated exactly 2000/01/11, so the scan goes on below it
    EXPECT_EQ(window_state(), (WindowState{Paused, 0, 2, "2000/01/11", "2000/02/10"}));
}

TEST_F(TimeWindow, FindWindowEndScansFromFirstIndex) {
    load_catalogue(kSixEntries, 10);
    viewer.first_index = 3;
    EXPECT_EQ(find_window_end(make_date(2000, 1, 1)), 3);  // never below first_index
    EXPECT_EQ(find_window_end(make_date(2000, 2, 21)), 5);
    EXPECT_EQ(find_window_end(make_date(2001, 1, 1)), 6);  // past every entry
}

// --- Mode transitions -------------------------------------------------------

TEST_F(TimeWindow, StepKeysFromFullRangeCollapseAndPause) {
    load_catalogue(kSixEntries, 10);
    pause_and_step_back();  // collapse, then a back step that cannot move from index 0
    EXPECT_EQ(window_state(), (WindowState{Paused, 0, 2, "2000/01/01", "2000/01/31"}));

    window_reset();
    pause_and_step_forward();  // collapse, then one forward step at once
    EXPECT_EQ(window_state(), (WindowState{Paused, 2, 4, "2000/01/11", "2000/02/10"}));
}

TEST_F(TimeWindow, StepKeysWhilePlayingPauseAndStep) {
    load_catalogue(kSixEntries, 10);
    window_play();
    tick();
    pause_and_step_forward();
    EXPECT_EQ(window_state(), (WindowState{Paused, 2, 5, "2000/01/21", "2000/02/20"}));
    window_play();
    ASSERT_EQ(viewer.mode, Playing);
    pause_and_step_back();
    EXPECT_EQ(window_state(), (WindowState{Paused, 1, 3, "2000/01/11", "2000/02/10"}));
}

TEST_F(TimeWindow, PlayWhilePlayingChangesNothing) {
    load_catalogue(kSixEntries, 10);
    window_play();
    tick();
    const WindowState before = window_state();
    window_play();
    EXPECT_EQ(window_state(), before);
    window_pause();
    window_pause();  // pausing twice is the same as once, and moves nothing
    WindowState paused = before;
    paused.mode = Paused;
    EXPECT_EQ(window_state(), paused);
}

TEST_F(TimeWindow, PlayFromPausedMovesNothingUntilTheNextTick) {
    load_catalogue(kSixEntries, 10);
    pause_and_step_back();
    const WindowState paused = window_state();
    window_play();
    WindowState playing = paused;
    playing.mode = Playing;
    EXPECT_EQ(window_state(), playing);  // no collapse, no step
}

TEST_F(TimeWindow, ResetRestoresTheWholeCatalogueFromEveryModeAndKeepsStepDays) {
    load_catalogue(kSixEntries, 10);
    const WindowState full{FullRange, 0, 5, "2000/01/01", "2000/03/01"};
    window_play();
    tick();
    window_reset();
    EXPECT_EQ(window_state(), full);
    pause_and_step_forward();
    pause_and_step_forward();
    window_reset();
    EXPECT_EQ(window_state(), full);
    window_reset();
    EXPECT_EQ(window_state(), full);
    EXPECT_EQ(step_days, 10);
}

// --- The timer --------------------------------------------------------------

TEST_F(TimeWindow, TimerReArmsInEveryModeAndStepsOnlyWhilePlaying) {
    load_catalogue(kSixEntries, 10);
    const GlCall rearm{"glutTimerFunc", {50.0, 1.0}, "", nullptr};

    on_timer(99);  // FullRange: nothing moves; the value passed is ignored
    EXPECT_EQ(window_state(), (WindowState{FullRange, 0, 5, "2000/01/01", "2000/03/01"}));

    pause_and_step_back();
    const WindowState paused = window_state();
    on_timer(1);  // Paused: nothing moves
    EXPECT_EQ(window_state(), paused);

    window_play();
    on_timer(-3);  // Playing: one step
    EXPECT_EQ(window_state(), (WindowState{Playing, 2, 4, "2000/01/11", "2000/02/10"}));

    const std::vector<GlCall> timers = gl_recorder::calls_named("glutTimerFunc");
    ASSERT_EQ(timers.size(), 3u);
    for (const GlCall& call : timers) EXPECT_EQ(call, rearm);
    EXPECT_EQ(gl_recorder::callbacks().timer, &on_timer);
    EXPECT_EQ(gl_recorder::calls().size(), 3u);  // the timer draws nothing
}

TEST_F(TimeWindow, TimerDrivenThroughTheRegisteredCallbackPlaysToTheEnd) {
    load_catalogue(kSixEntries, 10);
    window_play();
    on_timer(1);
    int ticks = 1;
    while (viewer.mode == Playing && ticks < 100) {
        gl_recorder::callbacks().timer(gl_recorder::callbacks().timer_value);
        ++ticks;
    }
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(window_state(), (WindowState{Paused, 2, 6, "2000/01/31", "2000/03/02"}));
}

// --- Hostile catalogues -----------------------------------------------------

TEST_F(TimeWindow, EmptyCatalogueIsLeftAlone) {
    viewer.mode = Playing;
    const WindowState before = window_state();
    window_reset();
    window_play();
    window_pause();
    window_collapse();
    window_step_forward();
    window_step_back();
    on_timer(1);
    EXPECT_EQ(window_state(), before);
    EXPECT_EQ(find_window_end(make_date(2000, 1, 1)), 0);
    EXPECT_EQ(gl_recorder::calls_named("glutTimerFunc").size(), 1u);  // the timer keeps running
}

TEST_F(TimeWindow, UnsortedCatalogueKeepsIndicesInRangeUnderRandomEvents) {
    std::mt19937 random(20240604);
    for (int round = 0; round < 200; ++round) {
        reset_program_state();
        std::uniform_int_distribution<int> size(1, 25), year(1999, 2001), month(1, 12), day(1, 28), step(1, 40);
        std::vector<Day> days(static_cast<size_t>(size(random)));
        for (Day& d : days) d = {year(random), month(random), day(random)};
        load_catalogue(days, step(random));
        const int32_t count = viewer.quake_count;

        std::uniform_int_distribution<int> event(0, 5);
        for (int i = 0; i < 300; ++i) {
            switch (event(random)) {
                case 0: window_play(); break;
                case 1: pause_and_step_forward(); break;
                case 2: pause_and_step_back(); break;
                case 3: if (i % 50 == 0) window_reset(); break;
                default: tick(); break;
            }
            ASSERT_GE(viewer.first_index, 0) << "round " << round << " event " << i;
            ASSERT_LE(viewer.first_index, count - 1) << "round " << round << " event " << i;
            ASSERT_GE(viewer.last_index, 0) << "round " << round << " event " << i;
            ASSERT_LE(viewer.last_index, count) << "round " << round << " event " << i;
            if (viewer.mode == FullRange) {
                ASSERT_EQ(viewer.first_index, 0);
            }
        }
    }
}

}  // namespace
