// Fast readers for the numeric fields of the input files. The common short
// decimals are converted here directly; anything unusual (long digit strings,
// big exponents, hexadecimal, inf, nan) goes to strtol / strtod, so every
// result is exactly what atoi / atof would give.
#include "data/number_text.h"

#include <cstdlib>

namespace {

// White space that strtol / strtod skip in the C locale.
inline bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Powers of ten that a double holds exactly (10^22 is the largest).
constexpr double kExactPowersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;

// Up to 18 decimal digits fit an int64_t, so the fast integer path cannot
// overflow; longer digit strings may saturate and are left to strtol.
constexpr int kMaxFastIntDigits = 18;

// Up to 15 significant digits are below 2^53, so the mantissa is exact as a
// double.
constexpr int kMaxFastSignificantDigits = 15;

// Cap on exponent digits accumulated; anything this large falls back anyway.
constexpr int kExponentCap = 100000;

// Cap on digits after the point (leading zeros included) handled here, which
// keeps every counter far from overflow whatever the field length.
constexpr int kMaxFastFractionDigits = 64;

// Skips the leading white space and an optional sign, as strtol / strtod do;
// returns where the digits should start.
const char* skip_space_and_sign(const char* text, bool& negative) {
    const char* p = text;
    while (is_c_space(*p)) ++p;
    negative = (*p == '-');
    if (*p == '+' || *p == '-') ++p;
    return p;
}

float float_fallback(const char* text) {
    return static_cast<float>(std::strtod(text, nullptr));
}

}  // namespace

int32_t parse_int_field(const char* text) {
    bool negative = false;
    const char* p = skip_space_and_sign(text, negative);
    int64_t value = 0;
    int digits = 0;
    while (is_digit(*p)) {
        if (++digits > kMaxFastIntDigits) {
            // Possibly beyond the long range: strtol saturates there.
            return static_cast<int32_t>(std::strtol(text, nullptr, 10));
        }
        value = value * 10 + (*p - '0');
        ++p;
    }
    const int64_t signed_value = negative ? -value : value;
    // atoi keeps the low 32 bits of the long value.
    return static_cast<int32_t>(signed_value);
}

float parse_float_field(const char* text) {
    bool negative = false;
    const char* p = skip_space_and_sign(text, negative);
    // A leading '.', inf, nan or no number at all: rare, left to strtod.
    if (!is_digit(*p)) return float_fallback(text);
    // Hexadecimal form.
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return float_fallback(text);

    uint64_t mantissa = 0;   // significant digits read so far
    int significant = 0;     // count of digits in mantissa (leading zeros skipped)
    int exponent = 0;        // power of ten applied to mantissa

    while (is_digit(*p)) {
        if (mantissa != 0 || *p != '0') {
            if (++significant > kMaxFastSignificantDigits) return float_fallback(text);
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
        }
        ++p;
    }
    if (*p == '.') {
        ++p;
        int fraction_digits = 0;
        while (is_digit(*p)) {
            if (++fraction_digits > kMaxFastFractionDigits) return float_fallback(text);
            if (mantissa != 0 || *p != '0') {
                if (++significant > kMaxFastSignificantDigits) return float_fallback(text);
                mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
            }
            --exponent;
            ++p;
        }
    }
    // The exponent belongs to the number only when digits follow 'e' (after
    // an optional sign); otherwise "1e" and "1e+" read as 1.
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        bool exponent_negative = false;
        if (*q == '+' || *q == '-') {
            exponent_negative = (*q == '-');
            ++q;
        }
        if (is_digit(*q)) {
            int written = 0;
            while (is_digit(*q)) {
                if (written < kExponentCap) written = written * 10 + (*q - '0');
                ++q;
            }
            exponent += exponent_negative ? -written : written;
        }
    }

    double value;
    if (mantissa == 0) {
        value = 0.0;  // zero whatever the exponent
    } else if (exponent >= 0 && exponent <= kMaxExactPower) {
        // Both operands exact, so the product is correctly rounded.
        value = static_cast<double>(mantissa) * kExactPowersOfTen[exponent];
    } else if (exponent < 0 && exponent >= -kMaxExactPower) {
        value = static_cast<double>(mantissa) / kExactPowersOfTen[-exponent];
    } else {
        return float_fallback(text);
    }
    // atof rounds to double first; the float is the rounding of that double.
    return static_cast<float>(negative ? -value : value);
}
