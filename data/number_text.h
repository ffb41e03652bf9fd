// Readers for the numeric fields of the input files. Each gives exactly what
// the C library's atoi / atof gives for the same text (atof's double then
// stored as a float), only faster on the plain decimals that catalogues hold.
#pragma once

#include <cstdint>

#include "tool/text_basics.h"

// Same value as atoi(text): leading white space, optional sign, decimal digits
// up to the first other character; no digits reads as 0.
int32_t parse_int_field(const char* text);

// Same value as (float)atof(text), bit for bit (NaN for NaN): decimal and
// hexadecimal forms, exponents, inf and nan included.
float parse_float_field(const char* text);

// Pieces of the decimal reader, here only so it can be inlined into the
// per-line loops.
namespace number_text {

using ::is_digit;

// Powers of ten that a double holds exactly (10^22 is the largest).
inline constexpr double kExactPowersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr long kMaxExactPower = 22;

// Whole numbers up to 2^53 are exact doubles; any of at most 15 digits is.
inline constexpr uint64_t kMaxExactMantissa = uint64_t{1} << 53;
inline constexpr long kAlwaysExactDigits = 15;

// At most 19 digits stay below 10^19 < 2^64, so the mantissa cannot wrap
// (longer digit strings are read on, then refused).
inline constexpr long kMaxDecimalDigits = 19;

// Cap on exponent digits accumulated; anything this large is refused anyway.
inline constexpr long kExponentCap = 100000;

}  // namespace number_text

// The one decimal reader behind every float of the input files. At `p`: an
// optional sign, digits, an optional point with digits, an optional exponent.
// When the digits make a whole number of at most 2^53 and the power of ten is
// at most 10^22 either way, both are exact doubles and one multiplication or
// division gives the correctly rounded value, the one strtod gives; it is
// stored in `value`, `p` moves past the number and the answer is true.
// Anything else (no digit after the sign, hexadecimal, more digits or a larger
// exponent) answers false with `p` and `value` untouched: strtod's case.
inline bool read_exact_decimal(const char*& p, double& value) {
    const char* q = p;
    const bool negative = (*q == '-');
    if (*q == '+' || *q == '-') ++q;
    // Hexadecimal is strtod's; so is a number without a digit before its point.
    if (!number_text::is_digit(*q) || (q[0] == '0' && (q[1] == 'x' || q[1] == 'X'))) return false;

    uint64_t mantissa = 0;
    const char* const first_digit = q;
    while (number_text::is_digit(*q)) mantissa = mantissa * 10 + static_cast<uint64_t>(*q++ - '0');
    const long whole_digits = q - first_digit;
    long fraction_digits = 0;
    if (*q == '.') {
        const char* const point = ++q;
        while (number_text::is_digit(*q)) mantissa = mantissa * 10 + static_cast<uint64_t>(*q++ - '0');
        fraction_digits = q - point;
    }
    // Only longer digit strings need the test against 2^53.
    const long digits = whole_digits + fraction_digits;
    if (digits > number_text::kAlwaysExactDigits && (digits > number_text::kMaxDecimalDigits || mantissa > number_text::kMaxExactMantissa))
        return false;

    long exponent = -fraction_digits;
    // The exponent belongs to the number only when digits follow 'e' (after
    // an optional sign); otherwise "1e" and "1e+" read as 1.
    if (*q == 'e' || *q == 'E') {
        const char* e = q + 1;
        const bool exponent_negative = (*e == '-');
        if (*e == '+' || *e == '-') ++e;
        if (number_text::is_digit(*e)) {
            long written = 0;
            while (number_text::is_digit(*e)) {
                if (written < number_text::kExponentCap) written = written * 10 + (*e - '0');
                ++e;
            }
            exponent += exponent_negative ? -written : written;
            q = e;
        }
    }

    // Plain decimals come first: a division by an exact power of ten (by 1
    // for whole numbers), and zero stays zero whatever its exponent.
    double magnitude;
    if (exponent <= 0 && exponent >= -number_text::kMaxExactPower) {
        magnitude = static_cast<double>(mantissa) / number_text::kExactPowersOfTen[-exponent];
    } else if (mantissa == 0) {
        magnitude = 0.0;
    } else if (exponent > 0 && exponent <= number_text::kMaxExactPower) {
        magnitude = static_cast<double>(mantissa) * number_text::kExactPowersOfTen[exponent];
    } else {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    p = q;
    return true;
}

