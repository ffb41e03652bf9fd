// The small text helpers every reader and message relies on: numbers as
// the text layouts write them, quoting for messages and for the shell, and
// paths split into folder and name.
#include <gtest/gtest.h>

#include <cmath>

#include "tool/text_basics.h"

namespace {

TEST(TextBasics, DecimalsAsTheLayoutsWriteThem) {
    EXPECT_EQ(parse_decimal(" 12.5 "), 12.5);
    EXPECT_EQ(parse_decimal("+3"), 3.0);
    EXPECT_EQ(parse_decimal("-0.25"), -0.25);
    EXPECT_EQ(parse_decimal("1.5e2"), 150.0);
    EXPECT_EQ(parse_decimal("\t7\r\n"), 7.0);
    EXPECT_EQ(parse_decimal("1e-400"), 0.0);  // too small for a double, but a number

    // Never a sign twice, a sign alone, words, or more after the number.
    for (const char* bad : {"", " ", "+", "-", "++1", "+-1", "-+1", "--1", "1,5", "12a", "nan", "inf", "-inf",
                            "0x10", "1e400", "-1e400", ". 5"})
        EXPECT_FALSE(parse_decimal(bad).has_value()) << '"' << bad << '"';
}

TEST(TextBasics, NumberListsHoldExactlyTheirCount) {
    EXPECT_EQ(parse_number_list("35,36.5,-118.5,-117", 4), (std::vector<double>{35, 36.5, -118.5, -117}));
    EXPECT_EQ(parse_number_list(" 1 , 2 ", 2), (std::vector<double>{1, 2}));
    for (const char* bad : {"1,2,3", "1,2,3,4,5", "1,,3,4", "1,2,3,", ",1,2,3", "1;2;3;4", ""})
        EXPECT_FALSE(parse_number_list(bad, 4).has_value()) << bad;
}

TEST(TextBasics, MessageQuotesHideControlBytesAndCutLongText) {
    EXPECT_EQ(quoted_for_message("M 4.5"), "\"M 4.5\"");
    EXPECT_EQ(quoted_for_message(std::string("a\x1b[2Jb\x7f", 7)), "\"a?[2Jb?\"");
    const std::string long_text(100, 'x');
    EXPECT_EQ(quoted_for_message(long_text), "\"" + std::string(60, 'x') + "...\"");
    // A server's message: UTF-8 kept, other encodings' bytes, C1 controls
    // and overlong or surrogate forms shown as '?', never cut inside a
    // character.
    EXPECT_EQ(quoted_for_message("param\xc3\xa8tre \xe2\x80\x94 \xf0\x9f\x8c\x8b"), "\"param\xc3\xa8tre \xe2\x80\x94 \xf0\x9f\x8c\x8b\"");
    EXPECT_EQ(quoted_for_message("param\xe8tre"), "\"param?tre\"");
    EXPECT_EQ(quoted_for_message("a\xc2\x9b" "2Jb\xc0\xaf" "c\xed\xa0\x80" "d\xe2\x80"), "\"a?2Jb??c???d??\"");
    EXPECT_EQ(quoted_for_message(std::string(59, 'x') + "\xc3\xa9z"), "\"" + std::string(59, 'x') + "...\"");
}

TEST(TextBasics, ShellWordsReadBackAsTheyAre) {
    EXPECT_EQ(shell_word("quakes-2024.txt"), "quakes-2024.txt");
    EXPECT_EQ(shell_word("my quakes.csv"), "'my quakes.csv'");
    EXPECT_EQ(shell_word("it's.csv"), "'it'\\''s.csv'");
    EXPECT_EQ(shell_word("$HOME"), "'$HOME'");
    EXPECT_EQ(shell_word(""), "''");
}

TEST(TextBasics, PathsSplitAtTheLastSlash) {
    EXPECT_EQ(split_path("a/b/c.txt").folder, "a/b/");
    EXPECT_EQ(split_path("a/b/c.txt").name, "c.txt");
    EXPECT_EQ(split_path("c.txt").folder, "");
    EXPECT_EQ(split_path("/c").folder, "/");
    EXPECT_EQ(split_path("frames/").name, "");
}

TEST(TextBasics, CaseAndExtensions) {
    EXPECT_TRUE(has_extension("Map.SHP", ".shp"));
    EXPECT_FALSE(has_extension(".shp", ".shp"));  // a name must come before it
    EXPECT_FALSE(has_extension("shp", ".shp"));
    EXPECT_EQ(trim_blanks(" \t x y \r\n"), "x y");
    EXPECT_EQ(without_byte_order_mark("\xEF\xBB\xBFtime"), "time");
    EXPECT_TRUE(equals_ignoring_case("Latitude", "LATITUDE"));
    EXPECT_FALSE(equals_ignoring_case("Lat", "Latitude"));
}

}  // namespace
