// Readers for the numeric fields. The common short decimals are converted
// here exactly; anything unusual (long digit strings, big exponents,
// hexadecimal, inf, nan) goes to strtol / strtod, so every result is exactly
// what atoi / atof would give.
#include "data/number_text.h"

#include <cstdlib>

namespace {

// Past the white space that strtol / strtod skip in the C locale.
const char* skip_c_space(const char* p) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
    return p;
}

// Up to 18 decimal digits fit an int64_t, so the fast integer path cannot
// overflow; longer digit strings may saturate and are left to strtol.
constexpr int kMaxFastIntDigits = 18;

}  // namespace

int32_t parse_int_field(const char* text) {
    const char* p = skip_c_space(text);
    const bool negative = (*p == '-');
    if (*p == '+' || *p == '-') ++p;
    int64_t value = 0;
    int digits = 0;
    while (number_text::is_digit(*p)) {
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
    const char* p = skip_c_space(text);
    double value;
    // atof rounds to double first; the float is the rounding of that double.
    if (read_exact_decimal(p, value)) return static_cast<float>(value);
    return static_cast<float>(std::strtod(text, nullptr));
}
