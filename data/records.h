// The records the two input files hold: outline vertices and catalogue entries.
#pragma once

#include <cstdint>

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
