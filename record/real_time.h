// Real-time frames (--window, --step): UTC instants on the real calendar,
// with leap years and the times of day the catalogue holds, instead of the
// viewer's 365-day days. With T0 at midnight UTC of the first event's day
// plus the largest whole number of steps that does not pass that event,
// frame k shows the events at T0 + k*step <= t < T0 + k*step + window, and
// the frames run from 0 to the first k whose window ends after the last
// event.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "calendar/calendar_date.h"
#include "data/records.h"

class RealTimeFrames {
public:
    // Puts `catalogue` in time order (entries at one instant keep their file
    // order) and works out T0 and the last frame. False with a message when
    // an entry's fields name no real UTC time (the message names `source`
    // and the entry's position), when the catalogue is empty, or when there
    // would be more than `max_frames`.
    // `companion` (one value per entry, or null) is put in the same order.
    bool prepare(std::vector<QuakeRecord>& catalogue, const std::string& source, int64_t window_seconds,
                 int64_t step_seconds, int64_t max_frames, std::string* error,
                 std::vector<float>* companion = nullptr);

    int64_t last_frame() const { return last_; }
    // The first frame whose window begins at or after 00:00 UTC of `day`; -1
    // when even the last frame's window begins before it.
    int64_t first_frame_from(const CalendarDate& day) const;
    // The entries of frame k in the ordered catalogue: first <= i < end.
    void entries(int64_t k, int32_t* first, int32_t* end) const;
    // The legend's text for frame k: the window's first and last day
    // (YYYY/MM/DD - YYYY/MM/DD), or its first and end instant with the time
    // of day (YYYY/MM/DD HH:MM - YYYY/MM/DD HH:MM, UTC) when the frames do
    // not fall on midnights (a step or window not of whole days).
    std::string legend(int64_t k) const;
    // With `shorten`, the legend writes of the window's end only the parts
    // that differ from its start: HH:MM on the same day, MM/DD (HH:MM) in
    // the same year (for a frame too narrow for the long form).
    void shorten_end(bool shorten) { short_end_ = shorten; }
    // Frame k's window in day_measure units (UTC).
    void window_days(int64_t k, double* start, double* end) const;
    // Where frame k's window begins, as the legend writes it.
    std::string start_text(int64_t k) const;
    // Each entry's instant in the ordered catalogue, in hundredths of a
    // second since 1970 UTC.
    const std::vector<int64_t>& instants() const { return instants_; }
    // Every window's start and end is T0 plus a whole number of grains
    // (hundredths of a second): the step's and the window's common divisor.
    int64_t t0() const { return t0_; }
    int64_t bound_grain() const;

private:
    std::vector<int64_t> instants_;  // hundredths of a second since 1970 UTC, ascending
    int64_t t0_ = 0;                 // all three in hundredths
    int64_t step_ = 0;
    int64_t window_ = 0;
    int64_t last_ = 0;
    bool time_of_day_ = false;
    bool short_end_ = false;
};
