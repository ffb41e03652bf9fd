// The catalogue's usual line, read straight from the file's bytes without a
// copy: "YYYY,MM,DD,HHMMSS.hh,lat,lon,mag" with the date and time in exactly
// those widths, three decimals, every field one comma from the next. Anything
// else (other widths, blanks, empty fields, long digit strings, a NUL) is not
// plain and goes through the general reader, which gives the same values for
// plain lines.
#pragma once

#include <cstdint>

#include "data/records.h"

struct PlainLine {
    int32_t year;
    int32_t month;
    int32_t day;
    const char* time_text;  // the nine characters HHMMSS.hh
    TimeOfDay time;
    float latitude;
    float longitude;
    float magnitude;
    const char* rest;  // what follows the magnitude: the line's end or ",depth..."
};

// Reads the line that starts at `p`, which must end in a line feed: every
// scan stops there. False when the line is not plain; `line` is then
// unspecified.
bool read_plain_line(const char* p, PlainLine& line);
