// Fast readers for the numeric fields of the input files. Each gives exactly
// what the C library's atoi / atof gives for the same text (atof's double then
// stored as a float), only faster on the plain decimals that catalogues hold.
#pragma once

#include <cstdint>

// Same value as atoi(text): leading white space, optional sign, decimal digits
// up to the first other character; no digits reads as 0.
int32_t parse_int_field(const char* text);

// Same value as (float)atof(text), bit for bit (NaN for NaN): decimal and
// hexadecimal forms, exponents, inf and nan included.
float parse_float_field(const char* text);
