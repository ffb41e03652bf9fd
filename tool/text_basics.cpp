#include "tool/text_basics.h"

#include <algorithm>

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

char ascii_lower_char(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool is_shell_plain(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || is_digit(c) || c == '.' || c == '_' || c == '-' ||
           c == '/' || c == '+';
}

}  // namespace

std::string_view trim_blanks(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

PathParts split_path(std::string_view path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return PathParts{std::string(), std::string(path)};
    return PathParts{std::string(path.substr(0, slash + 1)), std::string(path.substr(slash + 1))};
}

std::string ascii_lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = ascii_lower_char(c);
    return out;
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower_char(a[i]) != ascii_lower_char(b[i])) return false;
    return true;
}

bool has_extension(std::string_view path, std::string_view extension) {
    return path.size() > extension.size() && equals_ignoring_case(path.substr(path.size() - extension.size()), extension);
}

std::string shell_word(std::string_view text) {
    bool plain = !text.empty();
    for (char c : text) plain = plain && is_shell_plain(c);
    if (plain) return std::string(text);
    std::string quoted = "'";
    for (char c : text) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}


std::optional<double> parse_decimal(std::string_view text) {
    text = trim_blanks(text);
    // One sign at most: from_chars takes a '-' itself, so after a '+' none
    // may follow ("+-1" is no number).
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return std::nullopt;
    }
    if (text.empty() || text.front() == '+') return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end != text.data() + text.size()) return std::nullopt;
    // A number too small for a double (1e-400) is still a number: it reads
    // as 0, as strtod reads it; one too large has no value to stand for it.
    if (error == std::errc::result_out_of_range) {
        const double nearest = std::strtod(std::string(text).c_str(), nullptr);
        return std::fabs(nearest) < 1 ? std::optional<double>(nearest) : std::nullopt;
    }
    if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<std::vector<double>> parse_number_list(std::string_view text, size_t count) {
    std::vector<double> values;
    for (size_t start = 0; values.size() < count; ) {
        const size_t comma = text.find(',', start);
        const bool last = values.size() + 1 == count;
        if (last != (comma == std::string_view::npos)) return std::nullopt;
        const std::optional<double> value = parse_decimal(text.substr(start, last ? text.npos : comma - start));
        if (!value) return std::nullopt;
        values.push_back(*value);
        start = comma + 1;
    }
    return values;
}

namespace {

// The length of the well-formed UTF-8 character at the start of `text`
// (shortest form, no surrogate, at most U+10FFFF), or 0.
size_t utf8_length(std::string_view text) {
    const auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const unsigned lead = byte(0);
    const auto follows = [&](size_t i, unsigned low = 0x80, unsigned high = 0xBF) {
        return byte(i) >= low && byte(i) <= high;
    };
    if (lead >= 0xC2 && lead <= 0xDF) return follows(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned high = lead == 0xED ? 0x9F : 0xBF;
        return follows(1, low, high) && follows(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned high = lead == 0xF4 ? 0x8F : 0xBF;
        return follows(1, low, high) && follows(2) && follows(3) ? 4 : 0;
    }
    return 0;
}

}  // namespace

std::string quoted_for_message(std::string_view text) {
    constexpr size_t kLongest = 60;
    std::string out = "\"";
    size_t at = 0;
    while (at < text.size()) {
        const auto c = static_cast<unsigned char>(text[at]);
        const size_t valid = c < 0x80 ? 1 : utf8_length(text.substr(at));  // 0: not UTF-8
        const size_t length = std::max<size_t>(1, valid);
        if (at + length > kLongest) break;  // never half a character
        // Control characters (C0, DEL and C1) would garble the terminal, and
        // so would bytes that are not UTF-8 (a server's message in another
        // encoding): each shows as '?'. Other characters, accents
        // included, are kept.
        const bool control = c < 0x20 || c == 0x7F ||
                             (c == 0xC2 && length == 2 && static_cast<unsigned char>(text[at + 1]) < 0xA0);
        if (control || valid == 0)
            out += '?';
        else
            out.append(text.substr(at, length));
        at += length;
    }
    if (at < text.size()) out += "...";
    return out + "\"";
}
