// Small text and number helpers that readers and messages across the
// programs need, each defined once here.
#pragma once

#include <cstdint>
#include <string>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An ASCII decimal digit; never locale-dependent.
inline bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// A space, tab, carriage return or line feed: the blanks that trim_blanks
// takes off, and the whitespace JSON allows between tokens.
inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// a / b rounded towards minus infinity (b != 0), for dates before an epoch.
inline int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// `text` without a leading UTF-8 byte-order mark, which editors and some
// data centres put before the first byte of a file.
inline std::string_view without_byte_order_mark(std::string_view text) {
    return text.substr(0, 3) == "\xEF\xBB\xBF" ? text.substr(3) : text;
}

// `text` without blanks (spaces, tabs, carriage returns, line feeds) at
// either end.
std::string_view trim_blanks(std::string_view text);

// `text` with its ASCII letters in lower case, for names users and data
// centres write in any case: column and attribute names, file extensions.
std::string ascii_lower(std::string_view text);

// True when `a` and `b` differ at most in the case of ASCII letters.
bool equals_ignoring_case(std::string_view a, std::string_view b);

// True when `path` ends in `extension` (".shp"), in any case, after at least
// one other character.
bool has_extension(std::string_view path, std::string_view extension);

// A path's folder, with its trailing '/' (empty when the path names none),
// and the name after it.
struct PathParts {
    std::string folder;
    std::string name;
};
PathParts split_path(std::string_view path);

// `text` as one word a POSIX shell reads back as it is: unchanged when it
// holds only plain characters, otherwise in single quotes.
std::string shell_word(std::string_view text);

// Numbers as the text layouts write them: blanks around, an optional sign,
// decimals and an exponent; nothing else, and never infinite or NaN.
std::optional<double> parse_decimal(std::string_view text);

// Exactly `count` numbers apart by commas ("35,36.5,-118.5,-117"), each as
// parse_decimal reads it; empty for fewer, more or anything else.
std::optional<std::vector<double>> parse_number_list(std::string_view text, size_t count);

// `text` quoted for a message, cut short when long (at a character's
// end), with control characters and bytes that are not UTF-8 shown as '?'.
std::string quoted_for_message(std::string_view text);
