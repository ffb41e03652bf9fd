// The keys by which the playback page finds each frame's events, and the
// fall-back to positions whenever binary search would not find exactly the
// recorder's events. The packed columns are read back by the page's own
// code (tests/record/test_page_logic.js), the page itself is tested in a
// browser (tests/e2e/test_record_html.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "record/html_page.h"

namespace {

PageFrame frame(int64_t first, int64_t end) { return PageFrame{first, end, ""}; }

size_t lower_bound_of(const std::vector<int64_t>& keys, int64_t key) {
    return static_cast<size_t>(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin());
}

TEST(PageKeys, BinarySearchFindsExactlyEachFramesEvents) {
    // Dates in order, with runs of equal dates; frames as the viewer's
    // scans leave them, at the start of runs, one empty, one to the end.
    const std::vector<int64_t> dates = {10, 10, 11, 13, 13, 13, 20};
    const std::vector<PageFrame> frames = {frame(0, 2), frame(2, 6), frame(3, 3), frame(6, 7), frame(7, 7)};
    const FrameKeys keys = frame_keys(dates, "date", frames);
    EXPECT_EQ(keys.unit, "date");
    EXPECT_EQ(keys.events, dates);
    for (size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(lower_bound_of(keys.events, keys.low[k]), static_cast<size_t>(frames[k].first)) << k;
        EXPECT_EQ(lower_bound_of(keys.events, keys.high[k]), static_cast<size_t>(frames[k].end)) << k;
    }
}

TEST(PageKeys, PositionsWhenDatesCannotSayWhereAFrameEnds) {
    // A frame that ends inside a run of equal dates (as after a collapse
    // that stopped at a date), and a catalogue out of order: binary search
    // on dates would give other events, so the keys are the positions.
    const std::vector<std::vector<int64_t>> catalogues = {{10, 10, 11}, {10, 12, 11}};
    const std::vector<std::vector<PageFrame>> frame_sets = {{frame(0, 1)}, {frame(0, 2)}};
    for (size_t c = 0; c < catalogues.size(); ++c) {
        const FrameKeys keys = frame_keys(catalogues[c], "date", frame_sets[c]);
        EXPECT_EQ(keys.unit, "index") << c;
        EXPECT_EQ(keys.events, (std::vector<int64_t>{0, 1, 2})) << c;
        const PageFrame& f = frame_sets[c][0];
        EXPECT_EQ(lower_bound_of(keys.events, keys.low[0]), static_cast<size_t>(f.first));
        EXPECT_EQ(lower_bound_of(keys.events, keys.high[0]), static_cast<size_t>(f.end));
    }
}

TEST(PageKeys, DatesOrderAsTheViewerComparesThem) {
    CalendarDate a, b, c;
    a.year = 1999; a.month = 12; a.day = 31;
    b.year = 2000; b.month = 1; b.day = 1;
    c.year = 2000; c.month = 2; c.day = 29;  // the viewer's calendar has no such day; the catalogue may
    CalendarDate d = c;
    d.month = 3; d.day = 1;
    EXPECT_LT(date_key(a), date_key(b));
    EXPECT_LT(date_key(b), date_key(c));
    EXPECT_LT(date_key(c), date_key(d));
}

}  // namespace
