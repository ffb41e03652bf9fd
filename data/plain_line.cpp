// The plain-line reader: fixed-width date and time checked a word at a time,
// the three decimals through the shared exact decimal reader.
#include "data/plain_line.h"

#include <cstring>

#include "data/number_text.h"

namespace {

inline bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

inline int32_t digit(const char* p) { return *p - '0'; }
inline int32_t digit_pair(const char* p) { return digit(p) * 10 + digit(p + 1); }

// Digits that atoi reads without overflow, then a comma.
inline bool plain_int(const char*& p, int32_t& out) {
    constexpr int kMaxDigits = 9;
    const char* q = p;
    int32_t value = 0;
    while (is_digit(*q)) {
        if (q - p == kMaxDigits) return false;
        value = value * 10 + digit(q);
        ++q;
    }
    if (q == p || *q != ',') return false;
    out = value;
    p = q + 1;
    return true;
}

// A decimal as atof reads it; the line feed that ends the line stops every
// scan. Leaves `p` on the character after the number.
inline bool plain_float(const char*& p, float& out) {
    double value;
    if (!read_exact_decimal(p, value)) return false;
    out = static_cast<float>(value);
    return true;
}

// Eight bytes of text as one little-endian word.
inline uint64_t load_word(const char* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// True when the bytes of `word` under `digit_lanes` (0xFF lanes) are all
// decimal digits and those under `fixed_lanes` equal `fixed`. A lane that is
// no digit fails its high-nibble test whatever the carry of the +6 test.
inline bool word_matches(uint64_t word, uint64_t digit_lanes, uint64_t fixed_lanes, uint64_t fixed) {
    const uint64_t digits = word & digit_lanes;
    const uint64_t high = 0xF0F0F0F0F0F0F0F0ull & digit_lanes;
    const uint64_t threes = 0x3030303030303030ull & digit_lanes;
    const uint64_t sixes = 0x0606060606060606ull & digit_lanes;
    return (word & fixed_lanes) == fixed && (digits & high) == threes && ((digits + sixes) & high) == threes;
}

// True when `p` starts with the common "YYYY,MM,DD,HHMMSS.hh," (21 bytes; 24
// are read, so 24 must be readable).
inline bool fixed_date_and_time(const char* p) {
    // Lane i is byte i of the text.
    constexpr uint64_t kWord0Digits = 0x00FFFF00FFFFFFFFull;  // YYYY,MM,
    constexpr uint64_t kWord0Fixed = 0xFF0000FF00000000ull;
    constexpr uint64_t kWord0Text = 0x2C00002C00000000ull;
    constexpr uint64_t kWord1Digits = 0xFFFFFFFFFF00FFFFull;  // DD,HHMMS
    constexpr uint64_t kWord1Fixed = 0x0000000000FF0000ull;
    constexpr uint64_t kWord1Text = 0x00000000002C0000ull;
    constexpr uint64_t kWord2Digits = 0x00000000FFFF00FFull;  // S.hh, and three bytes not looked at
    constexpr uint64_t kWord2Fixed = 0x000000FF0000FF00ull;
    constexpr uint64_t kWord2Text = 0x0000002C00002E00ull;
    return word_matches(load_word(p), kWord0Digits, kWord0Fixed, kWord0Text) &&
           word_matches(load_word(p + 8), kWord1Digits, kWord1Fixed, kWord1Text) &&
           word_matches(load_word(p + 16), kWord2Digits, kWord2Fixed, kWord2Text);
}

}  // namespace

bool read_plain_line(const char* p, const char* feed, PlainLine& line) {
    if (feed - p >= 24 && fixed_date_and_time(p)) {
        line.year = digit_pair(p) * 100 + digit_pair(p + 2);
        line.month = digit_pair(p + 5);
        line.day = digit_pair(p + 8);
        p += 11;
    } else {
        if (!plain_int(p, line.year) || !plain_int(p, line.month) || !plain_int(p, line.day)) return false;
        if (!(is_digit(p[0]) && is_digit(p[1]) && is_digit(p[2]) && is_digit(p[3]) && is_digit(p[4]) &&
              is_digit(p[5]) && p[6] == '.' && is_digit(p[7]) && is_digit(p[8]) && p[9] == ','))
            return false;
    }
    line.time_text = p;
    line.time.hour = digit_pair(p);
    line.time.minute = digit_pair(p + 2);
    line.time.second = digit_pair(p + 4);
    line.time.hundredths = digit_pair(p + 7);
    p += 10;
    if (!plain_float(p, line.latitude) || *p++ != ',') return false;
    if (!plain_float(p, line.longitude) || *p++ != ',') return false;
    if (!plain_float(p, line.magnitude)) return false;
    // What follows the seventh field is ignored; these end its number as they
    // would in the general reader (a NUL ends the line's text there).
    return *p == '\n' || *p == '\r' || *p == ',' || *p == '\0';
}
