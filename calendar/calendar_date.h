// Dates on the viewer's 365-day calendar (no leap years): the window ends
// that the legend shows and the date of every catalogue entry.
#pragma once

#include <cstdint>

// Length of each month, indexed by month number; index 0 stands for no month.
extern const int32_t days_in_month[13];

// Days by which CalendarDate::advance and CalendarDate::retreat move a date.
// 1 until start-up derives it from the catalogue's span.
extern int32_t step_days;

void set_step_days(int32_t days);

struct CalendarDate {
    int32_t year;
    int32_t month;  // 1 to 12 in a well-formed catalogue
    int32_t day;    // 1 to the month's length in a well-formed catalogue
    // "%02d/%02d/%02d" of year, month, day; at most 10 characters and the
    // terminator. Refreshed by every operation below that changes the numbers.
    char text_buffer[11];

    CalendarDate();  // 01/01/01

    void set(const CalendarDate& source);
    void advance();          // forward by step_days
    void advance_30_days();  // forward by exactly 30 days; step_days unchanged
    void retreat();          // backward by step_days
    const char* text() const { return text_buffer; }
    bool is_before(const CalendarDate& other) const;
    bool is_after(const CalendarDate& other) const;
    bool equals(const CalendarDate& other) const;
    void format_text();
};

// Days from `first` to `last` on the 365-day calendar; negative when `last`
// is earlier.
int32_t day_span(const CalendarDate& first, const CalendarDate& last);
