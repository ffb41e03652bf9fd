// Differential fuzz target: the numeric field readers against atoi / atof.
// Any difference, bit for bit (NaN matching NaN), aborts.
#include "data/number_text.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Fields reach the readers NUL-terminated; the text stops at the first NUL.
    const std::string text(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), size));

    const int32_t int_got = parse_int_field(text.c_str());
    const int int_expected = std::atoi(text.c_str());
    if (int_got != int_expected) {
        std::fprintf(stderr, "parse_int_field(\"%s\") = %d, atoi = %d\n", text.c_str(),
                     static_cast<int>(int_got), int_expected);
        std::abort();
    }

    const float float_got = parse_float_field(text.c_str());
    const float float_expected = static_cast<float>(std::atof(text.c_str()));
    const bool same = (std::isnan(float_got) || std::isnan(float_expected))
                          ? (std::isnan(float_got) && std::isnan(float_expected))
                          : std::memcmp(&float_got, &float_expected, sizeof float_got) == 0;
    if (!same) {
        std::fprintf(stderr, "parse_float_field(\"%s\") = %.9g, (float)atof = %.9g\n",
                     text.c_str(), static_cast<double>(float_got),
                     static_cast<double>(float_expected));
        std::abort();
    }
    return 0;
}
