// The records the two input files hold: outline vertices and catalogue entries.
#pragma once

#include <cstdint>
#include <tuple>

#include "calendar/calendar_date.h"

// One vertex of the region outline, in the landscape file's integer units
// (the same units as the catalogue's longitude and latitude).
struct LandscapePoint {
    int32_t x = 0;  // horizontal: the second field of a landscape line
    int32_t y = 0;  // vertical: the first field of a landscape line
};

// Time of an event as read from its HHMMSS.hh field; carried, never drawn.
struct TimeOfDay {
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    int32_t hundredths = 0;
};

// One catalogue entry. Its date's numbers are set by the loader; the date's
// text is never read for catalogue entries.
struct QuakeRecord {
    CalendarDate date;
    TimeOfDay time;
    float latitude = 0.0f;   // drawn as the vertical coordinate
    float longitude = 0.0f;  // drawn as the horizontal coordinate
    float reserved = 0.0f;   // unused column kept for the record's layout
    float magnitude = 0.0f;  // above 0 in every loaded entry
};

// An entry's date and time of day as one value that compares in time order,
// for the readers that check or restore the catalogue's order.
inline auto record_time_order(const QuakeRecord& r) {
    return std::make_tuple(r.date.year, r.date.month, r.date.day, r.time.hour, r.time.minute, r.time.second,
                           r.time.hundredths);
}
