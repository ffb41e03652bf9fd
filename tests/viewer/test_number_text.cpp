// Numeric field readers: every result must match atoi / (float)atof exactly.
#include "data/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Bit-exact float equality; any NaN equals any NaN (payloads are not asked for).
bool same_float(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void expect_like_c_library(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
        EXPECT_EQ(parse_int_field(text.c_str()), std::atoi(text.c_str())) << '"' << text << '"';
        const float expected = static_cast<float>(std::atof(text.c_str()));
        const float got = parse_float_field(text.c_str());
        EXPECT_TRUE(same_float(got, expected))
            << '"' << text << "\" gave " << got << " expected " << expected;
    }
}

TEST(NumberText, WhitespaceAndSigns) {
    expect_like_c_library({"", " ", "\t\n\v\f\r 42", "  -7", "+7", "-", "+", "+-1", "-+1",
                           "--1", " - 1", "-0", "+0", "-0.0", "0", "\r", "12\r", " 3.5 ",
                           "\x1c" "5", "\xa0" "5", "-.5", "+.5", ".", "-.", ".e1"});
}

TEST(NumberText, IntegerOverflow) {
    expect_like_c_library({"2147483647", "2147483648", "-2147483648", "-2147483649",
                           "4294967295", "4294967296", "4294967297", "-4294967297",
                           "999999999999999999", "1000000000000000000",
                           "9223372036854775807", "9223372036854775808", "-9223372036854775808",
                           "-9223372036854775809", "99999999999999999999999999",
                           "-99999999999999999999999999", "00000000000000000000000000001",
                           "-0000000000000000000000000000000000000000002147483649"});
}

TEST(NumberText, TrailingJunk) {
    expect_like_c_library({"12abc", "12,34", "3.1,", "1.2.3", "7-3", "1 2", "0.5x",
                           "5e", "5e+", "5e-", "5E+x", "5ee3", "5e+-3", "5.e3", "5.", "1e2.5",
                           "abc", "x1", "e5", "12\n", "12#"});
}

TEST(NumberText, ExponentForms) {
    expect_like_c_library({"1e0", "1e22", "1e23", "1e-22", "1e-23", "1.5E+3", "1.5e-3",
                           "123456789012345e7", "123456789012345e8", "0.000001e22",
                           "1e-50", "1e39", "-1e39", "3.4028235e38", "3.4028236e38",
                           "0e99999999999999", "0.0e-9999", "1e99999999999999999999",
                           "1e-99999999999999999999", "1e0000000000000000000005", "-2e-3"});
    EXPECT_EQ(parse_float_field("1e-50"), 0.0f);
    EXPECT_TRUE(std::isinf(parse_float_field("1e39")));
    EXPECT_EQ(parse_float_field("1e"), 1.0f);
}

TEST(NumberText, SpecialValues) {
    expect_like_c_library({"inf", "-inf", "INF", "Infinity", "infinit", "nan", "-nan", "NaN",
                           "nan(123)", "nan(", "in", "na", "0x1p3", "-0x1p3", "0X1P-3",
                           "0x", "0xg", "0x.8", "0x1.8p1", "00x1", "0x1p-150", "0xffffffp104"});
    EXPECT_TRUE(std::isnan(parse_float_field("nan")));
    EXPECT_TRUE(std::signbit(parse_float_field("-0")));
    EXPECT_TRUE(std::signbit(parse_float_field("-0e5")));
}

TEST(NumberText, RoundingSensitiveDecimals) {
    expect_like_c_library({
        "0.1", "0.2", "0.3", "34.5123", "-118.2034", "3.1", "16777216", "16777217",
        "16777218", "16777219", "33554433", "1.00000005960464477539062500001",
        "1.000000059604644775390625", "1.0000000596046448", "1.0000000596046447",
        "0.000000000000000000000000000000000000000000001", "1e-45", "1.4e-45", "7e-46",
        "7.1e-46", "1.17549435e-38", "1.1754942e-38", "340282356779733661637539395458142568448",
        "340282356779733661637539395458142568447", "0000000000000000000001.5",
        "1.500000000000000000000", "999999999999999", "9999999999999999",
        "0.1000000000000000055511151231257827", "4.35", "123456.789012345",
        // Around the largest whole number that is an exact double, 2^53, and
        // the 19 digits that still fit the mantissa's word.
        "9007199254740992", "9007199254740993", "-9007199254740995", "900719925474099.3",
        "9007199254740992e-5", "9007199254740993e-5", "1234567890123456789", "12345678901234567890",
        "0.000000000000000001", "0.0000000000000000001", "0.000000000000000000125", "+16777217.0e0"});
}

// Random text mixing number pieces with junk, plus plain decimals of the
// catalogue kind, so both the fast path and the fall-backs are exercised.
TEST(NumberText, RandomizedSweepMatchesCLibrary) {
    std::mt19937 rng(20240611u);
    const std::string alphabet = "0123456789000011111+-..eEeExX  \t\rinfaInNApP,#9";
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> small(0, 8);
    int mismatches = 0;
    for (int i = 0; i < 200000 && mismatches < 20; ++i) {
        std::string text;
        if (i % 2 == 0) {
            const int n = length(rng);
            for (int k = 0; k < n; ++k) text += alphabet[pick(rng)];
        } else {
            if (small(rng) < 3) text += '-';
            for (int k = small(rng) + 1; k > 0; --k) text += static_cast<char>('0' + digit(rng));
            if (small(rng) < 7) {
                text += '.';
                for (int k = small(rng) * 2; k > 0; --k) text += static_cast<char>('0' + digit(rng));
            }
            if (small(rng) < 2) {
                text += (small(rng) < 4) ? "e-" : "e";
                text += std::to_string(small(rng) * small(rng) * 2);
            }
        }
        const bool int_ok = parse_int_field(text.c_str()) == std::atoi(text.c_str());
        const bool float_ok = same_float(parse_float_field(text.c_str()),
                                         static_cast<float>(std::atof(text.c_str())));
        if (!int_ok || !float_ok) {
            ++mismatches;
            ADD_FAILURE() << "mismatch for \"" << text << '"';
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
