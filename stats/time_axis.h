// Time axes that fit the span they show: ticks a whole number of minutes,
// hours, days, months or years apart, whichever gives a handful of them, and
// labels that never repeat. A tick's label is its time of day, day or month,
// with the date or year beneath it where that is needed to tell it apart:
// under the first tick, where it changes, and where the first line alone
// would repeat an earlier label.
#pragma once

#include <string>
#include <vector>

struct TimeTick {
    double seconds = 0.0;  // since 1970-01-01 00:00 UTC
    std::string label;     // "06:00", "Mar 4", "Mar", "2018"
    std::string context;   // the line beneath: "2018-03-04", "2018", or empty
};

struct TimeAxis {
    double low = 0.0;  // the span the axis shows, seconds since 1970
    double high = 0.0;
    std::vector<TimeTick> ticks;
};

// The axis over the events' first and last time, with a little room either
// side (a span of less than ten minutes is widened to ten minutes around
// its middle) and at most `max_ticks` ticks (at least 2).
TimeAxis fit_time_axis(double first_seconds, double last_seconds, int max_ticks);

// Draws the axis along the bottom of the current PLplot viewport, whose
// window runs from axis.low - origin to axis.high - origin across and
// from y_low to y_high up: tick marks at the bottom and top edges, the
// labels beneath, and "Time (UTC)" below them.
void draw_time_axis(const TimeAxis& axis, double origin, double y_low, double y_high);
