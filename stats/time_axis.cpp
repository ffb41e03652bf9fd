// Calendar-aware ticks with the date library's civil calendar.
#include "stats/time_axis.h"

#include <date/date.h>
#include <plplot.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <unordered_set>

namespace {

constexpr double kMinute = 60.0;
constexpr double kHour = 3600.0;
constexpr double kDay = 86400.0;
// The least span an axis shows, and the room left either side of the data.
constexpr double kLeastSpan = 600.0;
constexpr double kRoom = 0.02;

const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

enum class Unit { minute, hour, day, month, year };

struct Step {
    Unit unit;
    int64_t count;  // units between ticks
};

struct Civil {
    int64_t year;
    unsigned month;  // 1 to 12
    unsigned day;
    int64_t second_of_day;
};

Civil civil_of(double seconds) {
    const double days = std::floor(seconds / kDay);
    const date::year_month_day ymd{date::sys_days{date::days{static_cast<int64_t>(days)}}};
    return Civil{static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                 static_cast<int64_t>(std::floor(seconds - days * kDay))};
}

double seconds_of(int64_t year, unsigned month) {
    const date::year_month_day ymd{date::year{static_cast<int>(year)}, date::month{month}, date::day{1}};
    return static_cast<double>(date::sys_days{ymd}.time_since_epoch().count()) * kDay;
}

// The ticks of `step` within [low, high]; stops once there are more than
// `limit`, for the caller only asks whether they fit.
std::vector<double> ticks_of(Step step, double low, double high, size_t limit) {
    std::vector<double> ticks;
    if (step.unit == Unit::minute || step.unit == Unit::hour || step.unit == Unit::day) {
        const double unit = step.unit == Unit::minute ? kMinute : step.unit == Unit::hour ? kHour : kDay;
        const double every = unit * static_cast<double>(step.count);
        for (double t = std::ceil(low / every) * every; t <= high && ticks.size() <= limit; t += every)
            ticks.push_back(t);
        return ticks;
    }
    const Civil start = civil_of(low);
    if (step.unit == Unit::month) {
        // Months counted from January of year 0, so a step of 3 falls on quarters.
        int64_t index = start.year * 12 + (start.month - 1);
        index += (step.count - index % step.count) % step.count;
        for (;; index += step.count) {
            const int64_t year = index >= 0 ? index / 12 : -((-index + 11) / 12);
            const double t = seconds_of(year, static_cast<unsigned>(index - year * 12 + 1));
            if (t < low) continue;
            if (t > high || ticks.size() > limit) break;
            ticks.push_back(t);
        }
        return ticks;
    }
    int64_t year = start.year + ((step.count - start.year % step.count) % step.count);
    for (; ticks.size() <= limit; year += step.count) {
        const double t = seconds_of(year, 1);
        if (t < low) continue;
        if (t > high) break;
        ticks.push_back(t);
    }
    return ticks;
}

std::string two_digits(int64_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", static_cast<int>(value));
    return text;
}

std::string year_text(int64_t year) { return std::to_string(year); }

void label(Unit unit, double seconds, TimeTick* tick) {
    const Civil c = civil_of(seconds);
    switch (unit) {
        case Unit::minute:
        case Unit::hour:
            tick->label = two_digits(c.second_of_day / 3600) + ":" + two_digits(c.second_of_day / 60 % 60);
            tick->context = year_text(c.year) + "-" + two_digits(c.month) + "-" + two_digits(c.day);
            return;
        case Unit::day:
            tick->label = std::string(kMonthNames[c.month - 1]) + " " + std::to_string(c.day);
            tick->context = year_text(c.year);
            return;
        case Unit::month:
            tick->label = kMonthNames[c.month - 1];
            tick->context = year_text(c.year);
            return;
        case Unit::year:
            tick->label = year_text(c.year);
            tick->context.clear();
            return;
    }
}

}  // namespace

TimeAxis fit_time_axis(double first_seconds, double last_seconds, int max_ticks) {
    TimeAxis axis;
    double low = std::min(first_seconds, last_seconds);
    double high = std::max(first_seconds, last_seconds);
    if (high - low < kLeastSpan) {
        const double middle = low / 2.0 + high / 2.0;
        low = middle - kLeastSpan / 2.0;
        high = middle + kLeastSpan / 2.0;
    }
    const double room = (high - low) * kRoom;
    axis.low = low - room;
    axis.high = high + room;

    const size_t limit = static_cast<size_t>(std::max(2, max_ticks));
    static const Step kSteps[] = {{Unit::minute, 1}, {Unit::minute, 2},  {Unit::minute, 5}, {Unit::minute, 10},
                                  {Unit::minute, 15}, {Unit::minute, 30}, {Unit::hour, 1},   {Unit::hour, 2},
                                  {Unit::hour, 3},   {Unit::hour, 6},    {Unit::hour, 12},  {Unit::day, 1},
                                  {Unit::day, 2},    {Unit::day, 7},     {Unit::day, 14},   {Unit::month, 1},
                                  {Unit::month, 2},  {Unit::month, 3},   {Unit::month, 6}};
    Step chosen{Unit::year, 1};
    std::vector<double> ticks;
    bool found = false;
    for (const Step& step : kSteps) {
        ticks = ticks_of(step, axis.low, axis.high, limit);
        if (ticks.size() <= limit) {
            chosen = step;
            found = true;
            break;
        }
    }
    // Years: 1, 2, 5, 10, 20, 50, ... until they fit.
    for (int64_t scale = 1; !found; scale *= 10) {
        for (int64_t factor : {1, 2, 5}) {
            chosen = Step{Unit::year, factor * scale};
            ticks = ticks_of(chosen, axis.low, axis.high, limit);
            if (ticks.size() <= limit) {
                found = true;
                break;
            }
        }
    }

    std::unordered_set<std::string> labels;
    std::string previous_context;
    for (size_t i = 0; i < ticks.size(); ++i) {
        TimeTick tick;
        tick.seconds = ticks[i];
        label(chosen.unit, ticks[i], &tick);
        const bool repeats = !labels.insert(tick.label).second;
        const bool changed = i == 0 || tick.context != previous_context;
        previous_context = tick.context;
        if (!repeats && !changed) tick.context.clear();
        axis.ticks.push_back(tick);
    }
    return axis;
}

void draw_time_axis(const TimeAxis& axis, double origin, double y_low, double y_high) {
    const double span = axis.high - axis.low;
    const double tick_length = (y_high - y_low) * 0.02;
    for (const TimeTick& tick : axis.ticks) {
        const double x = tick.seconds - origin;
        const PLFLT xs[2] = {x, x};
        const PLFLT bottom[2] = {y_low, y_low + tick_length};
        const PLFLT top[2] = {y_high, y_high - tick_length};
        plline(2, xs, bottom);
        plline(2, xs, top);
        const double at = (tick.seconds - axis.low) / span;
        plmtex("b", 1.5, at, 0.5, tick.label.c_str());
        if (!tick.context.empty()) plmtex("b", 2.7, at, 0.5, tick.context.c_str());
    }
    plmtex("b", 4.3, 0.5, 0.5, "Time (UTC)");
}
