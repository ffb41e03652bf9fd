// The plain-line reader: the fixed-width date and time checked byte by byte,
// the three decimals through the shared exact decimal reader.
#include "data/plain_line.h"

#include "data/number_text.h"

namespace {

using number_text::is_digit;

inline int32_t digit(const char* p) { return *p - '0'; }
inline int32_t digit_pair(const char* p) { return digit(p) * 10 + digit(p + 1); }

// A decimal as atof reads it; the line feed that ends the line stops every
// scan. Leaves `p` on the character after the number.
inline bool plain_float(const char*& p, float& out) {
    double value;
    if (!read_exact_decimal(p, value)) return false;
    out = static_cast<float>(value);
    return true;
}

// True when `p` starts with the format's "YYYY,MM,DD,HHMMSS.hh," (21 bytes).
inline bool fixed_date_and_time(const char* p) {
    return is_digit(p[0]) && is_digit(p[1]) && is_digit(p[2]) && is_digit(p[3]) && p[4] == ',' &&
           is_digit(p[5]) && is_digit(p[6]) && p[7] == ',' && is_digit(p[8]) && is_digit(p[9]) && p[10] == ',' &&
           is_digit(p[11]) && is_digit(p[12]) && is_digit(p[13]) && is_digit(p[14]) && is_digit(p[15]) &&
           is_digit(p[16]) && p[17] == '.' && is_digit(p[18]) && is_digit(p[19]) && p[20] == ',';
}

}  // namespace

bool read_plain_line(const char* p, PlainLine& line) {
    if (!fixed_date_and_time(p)) return false;
    line.year = digit_pair(p) * 100 + digit_pair(p + 2);
    line.month = digit_pair(p + 5);
    line.day = digit_pair(p + 8);
    p += 11;
    line.time_text = p;
    line.time.hour = digit_pair(p);
    line.time.minute = digit_pair(p + 2);
    line.time.second = digit_pair(p + 4);
    line.time.hundredths = digit_pair(p + 7);
    p += 10;
    if (!plain_float(p, line.latitude) || *p++ != ',') return false;
    if (!plain_float(p, line.longitude) || *p++ != ',') return false;
    if (!plain_float(p, line.magnitude)) return false;
    line.rest = p;
    // What follows the seventh field is ignored; these end its number as they
    // would in the general reader (a NUL ends the line's text there).
    return *p == '\n' || *p == '\r' || *p == ',' || *p == '\0';
}
