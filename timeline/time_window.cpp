// The time window over the catalogue: collapse to 30 days, steps forward and
// back by step_days, reset to the whole catalogue, and the playback tick.
//
// The index scans assume ascending dates but never rely on them: every scan
// moves its index one way only, tests the index against its bound before it
// reads the entry there, and stops at the first entry that fails its test.
// So an unsorted catalogue still gives bounded scans and in-range indices.
#include "timeline/time_window.h"

#include <algorithm>

#include "app/viewer_state.h"

namespace {


// Entries that may be read: quake_count, but never more than the catalogue
// holds and never negative. 0 means there is nothing to move over.
int32_t entry_count() {
    const auto held = static_cast<int64_t>(viewer.catalogue.size());
    return static_cast<int32_t>(std::clamp<int64_t>(viewer.quake_count, 0, held));
}

const CalendarDate& entry_date(int32_t index) {
    return viewer.catalogue[static_cast<size_t>(index)].date;
}

// Pulls the indices back into 0..count-1 (first) and 0..count (last). The
// operations below keep them there themselves; this only shields the reads
// from a state that some other writer left inconsistent.
void keep_indices_in_range(int32_t count) {
    viewer.first_index = std::clamp(viewer.first_index, 0, count - 1);
    viewer.last_index = std::clamp(viewer.last_index, 0, count);
}

}  // namespace

void window_step_forward() {
    const int32_t count = entry_count();
    if (count == 0) return;
    keep_indices_in_range(count);

    // Past the last entry: nothing left to show, stop playing.
    if (viewer.last_index >= count) {
        viewer.mode = Paused;
        return;
    }

    viewer.window_last_date.advance();
    viewer.window_first_date.advance();

    // Runs before last_index moves, so first_index never passes the old end.
    while (viewer.first_index < viewer.last_index &&
           entry_date(viewer.first_index).is_before(viewer.window_first_date))
        ++viewer.first_index;

    // Take in every entry up to and including the window's last date.
    while (viewer.last_index < count && entry_date(viewer.last_index).is_before(viewer.window_last_date))
        ++viewer.last_index;
    while (viewer.last_index < count && entry_date(viewer.last_index).equals(viewer.window_last_date))
        ++viewer.last_index;
}

void window_step_back() {
    const int32_t count = entry_count();
    if (count == 0) return;
    keep_indices_in_range(count);

    // Already at the start of the catalogue: the window stays where it is.
    if (viewer.first_index <= 0) return;
    // After the end, step back from the last entry.
    if (viewer.last_index >= count) viewer.last_index = count - 1;

    viewer.window_last_date.retreat();
    viewer.window_first_date.retreat();

    while (viewer.last_index > 0 && entry_date(viewer.last_index).is_after(viewer.window_last_date))
        --viewer.last_index;

    while (viewer.first_index > 0 && entry_date(viewer.first_index).is_after(viewer.window_first_date))
        --viewer.first_index;
    while (viewer.first_index > 0 && entry_date(viewer.first_index).equals(viewer.window_first_date))
        --viewer.first_index;
}

int32_t find_window_end(const CalendarDate& date) {
    const int32_t count = entry_count();
    int32_t i = std::max(viewer.first_index, 0);
    // Entries dated exactly `date` stay outside the window.
    while (i < count && date.is_after(entry_date(i))) ++i;
    return std::min(i, count);
}

void window_collapse() {
    const int32_t count = entry_count();
    if (count == 0) return;
    keep_indices_in_range(count);

    viewer.window_first_date.set(entry_date(viewer.first_index));
    viewer.window_last_date.set(viewer.window_first_date);
    viewer.window_last_date.advance_30_days();
    viewer.last_index = find_window_end(viewer.window_last_date);
}

void window_pause() {
    if (entry_count() == 0) return;
    switch (viewer.mode) {
        case FullRange:
            viewer.mode = Paused;
            window_collapse();
            break;
        case Playing:
            viewer.mode = Paused;
            break;
        default:
            break;
    }
}

void window_play() {
    if (entry_count() == 0) return;
    switch (viewer.mode) {
        case Paused:
            viewer.mode = Playing;
            break;
        case FullRange:
            window_collapse();
            viewer.mode = Playing;
            break;
        default:  // a second press while playing does not pause
            break;
    }
}

void window_reset() {
    const int32_t count = entry_count();
    if (count == 0) return;
    viewer.mode = FullRange;
    viewer.first_index = 0;
    viewer.last_index = count - 1;
    viewer.window_first_date.set(entry_date(viewer.first_index));
    viewer.window_last_date.set(entry_date(viewer.last_index));
}

void window_tick() {
    if (viewer.mode == Playing) window_step_forward();
}
