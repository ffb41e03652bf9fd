// Dates on the viewer's 365-day calendar: formatting, comparison, stepping
// and spans between dates.
#include "calendar/calendar_date.h"
#include "tool/text_basics.h"

#include <cstdio>
#include <cstring>
#include <limits>

const int32_t days_in_month[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

int32_t step_days = 1;

void set_step_days(int32_t days) { step_days = days; }

namespace {

constexpr int64_t kDaysPerYear = 365;

// Days of the year that lie before the first of each month (index 1 to 12).
constexpr int64_t kDaysBeforeMonth[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Text of a freshly made date; copied rather than formatted because a date is
// made for every catalogue record.
constexpr char kInitialText[11] = "01/01/01";

constexpr int64_t kMinYear = std::numeric_limits<int32_t>::min();
constexpr int64_t kMaxYear = std::numeric_limits<int32_t>::max();

// Nearest calendar date to `date`: month clamped to 1..12, then day clamped
// to the month's length. The year is kept as it is.
struct Normalised {
    int64_t year;
    int32_t month;
    int32_t day;
};

Normalised normalise(const CalendarDate& date) {
    Normalised n{date.year, date.month, date.day};
    if (n.month < 1) n.month = 1;
    if (n.month > 12) n.month = 12;
    if (n.day < 1) n.day = 1;
    if (n.day > days_in_month[n.month]) n.day = days_in_month[n.month];
    return n;
}

// Days since 0000/01/01 of the nearest calendar date. Fits easily in 64 bits:
// |year| * 365 stays below 2^40.
int64_t day_number(const CalendarDate& date) {
    const Normalised n = normalise(date);
    return n.year * kDaysPerYear + kDaysBeforeMonth[n.month] + n.day - 1;
}


// Stores the date with day number `number`, saturating to the first day of
// the earliest representable year or the last day of the latest.
void store_day_number(CalendarDate& date, int64_t number) {
    const int64_t year = floor_div(number, kDaysPerYear);
    if (year < kMinYear) {
        date.year = static_cast<int32_t>(kMinYear);
        date.month = 1;
        date.day = 1;
        return;
    }
    if (year > kMaxYear) {
        date.year = static_cast<int32_t>(kMaxYear);
        date.month = 12;
        date.day = 31;
        return;
    }
    const int64_t day_of_year = number - year * kDaysPerYear;  // 0 to 364
    int32_t month = 12;
    while (kDaysBeforeMonth[month] > day_of_year) --month;  // at most 11 steps
    date.year = static_cast<int32_t>(year);
    date.month = month;
    date.day = static_cast<int32_t>(day_of_year - kDaysBeforeMonth[month] + 1);
}

// Moves `date` by `days` (either sign) and refreshes its text. The move is a
// single subtraction on day numbers rather than a walk through the months, so
// a step costs the same whatever its size: playback advances the window once
// per tick, and the per-tick cost must not grow with step_days.
void move_by(CalendarDate& date, int64_t days) {
    store_day_number(date, day_number(date) + days);
    date.format_text();
}

}  // namespace

CalendarDate::CalendarDate() : year(1), month(1), day(1) {
    std::memcpy(text_buffer, kInitialText, sizeof text_buffer);
}

void CalendarDate::set(const CalendarDate& source) {
    year = source.year;
    month = source.month;
    day = source.day;
    format_text();
}

void CalendarDate::advance() { move_by(*this, static_cast<int64_t>(step_days)); }

void CalendarDate::advance_30_days() { move_by(*this, 30); }

void CalendarDate::retreat() { move_by(*this, -static_cast<int64_t>(step_days)); }

bool CalendarDate::is_before(const CalendarDate& other) const {
    if (year != other.year) return year < other.year;
    if (month != other.month) return month < other.month;
    return day < other.day;
}

bool CalendarDate::is_after(const CalendarDate& other) const { return other.is_before(*this); }

bool CalendarDate::equals(const CalendarDate& other) const {
    return year == other.year && month == other.month && day == other.day;
}

void CalendarDate::format_text() {
    // Only a malformed date needs more than 10 characters; snprintf cuts it
    // to what fits and always terminates.
    const int written = std::snprintf(text_buffer, sizeof text_buffer, "%02d/%02d/%02d",
                                      static_cast<int>(year), static_cast<int>(month),
                                      static_cast<int>(day));
    if (written < 0) text_buffer[0] = '\0';
}

int32_t day_span(const CalendarDate& first, const CalendarDate& last) {
    const int64_t span = day_number(last) - day_number(first);
    if (span < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    if (span > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(span);
}
