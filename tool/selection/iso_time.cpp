// ISO 8601 time parsing and the civil fields of a UTC time.
#include "tool/selection/iso_time.h"
#include "tool/text_basics.h"

#include <date/date.h>

namespace {

constexpr int64_t kUsPerSecond = 1000000;
constexpr int64_t kUsPerDay = 86400 * kUsPerSecond;


// Reads exactly `count` digits at `pos`, moving past them.
bool read_digits(std::string_view text, size_t& pos, int count, int& out) {
    if (pos + static_cast<size_t>(count) > text.size()) return false;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[pos + static_cast<size_t>(i)];
        if (!is_digit(c)) return false;
        value = value * 10 + (c - '0');
    }
    pos += static_cast<size_t>(count);
    out = value;
    return true;
}


}  // namespace

std::optional<int64_t> parse_iso_time(std::string_view text, bool date_alone) {
    size_t pos = 0;
    int year = 0, month = 0, day = 0;
    if (!read_digits(text, pos, 4, year) || pos >= text.size() || text[pos++] != '-' ||
        !read_digits(text, pos, 2, month) || pos >= text.size() || text[pos++] != '-' ||
        !read_digits(text, pos, 2, day))
        return std::nullopt;
    const date::year_month_day ymd{date::year{year}, date::month{static_cast<unsigned>(month)},
                                   date::day{static_cast<unsigned>(day)}};
    if (year < 1 || !ymd.ok()) return std::nullopt;
    const int64_t days = date::sys_days{ymd}.time_since_epoch().count();
    if (pos == text.size()) {
        if (!date_alone) return std::nullopt;
        return days * kUsPerDay;
    }

    if (text[pos] != 'T' && text[pos] != 't' && text[pos] != ' ') return std::nullopt;
    ++pos;
    int hour = 0, minute = 0, second = 0;
    if (!read_digits(text, pos, 2, hour) || pos >= text.size() || text[pos++] != ':' ||
        !read_digits(text, pos, 2, minute))
        return std::nullopt;
    int64_t fraction_us = 0;
    if (pos < text.size() && text[pos] == ':') {
        ++pos;
        if (!read_digits(text, pos, 2, second)) return std::nullopt;
        if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
            ++pos;
            const size_t digits_start = pos;
            int64_t scale = 100000;
            while (pos < text.size() && is_digit(text[pos])) {
                fraction_us += (text[pos] - '0') * scale;
                scale /= 10;
                ++pos;
            }
            if (pos == digits_start) return std::nullopt;
        }
    }
    if (hour > 23 || minute > 59 || second > 60) return std::nullopt;
    if (second == 60) {
        second = 59;
        fraction_us = 990000;
    }

    int64_t offset_seconds = 0;
    if (pos < text.size()) {
        const char sign = text[pos++];
        if (sign == 'Z' || sign == 'z') {
            if (pos != text.size()) return std::nullopt;
        } else if (sign == '+' || sign == '-') {
            int offset_hours = 0, offset_minutes = 0;
            if (!read_digits(text, pos, 2, offset_hours)) return std::nullopt;
            const bool colon = pos < text.size() && text[pos] == ':';
            pos += colon;
            if ((colon || pos < text.size()) && !read_digits(text, pos, 2, offset_minutes)) return std::nullopt;
            if (pos != text.size() || offset_hours > 23 || offset_minutes > 59) return std::nullopt;
            offset_seconds = (offset_hours * 3600 + offset_minutes * 60) * (sign == '-' ? -1 : 1);
        } else {
            return std::nullopt;
        }
    }

    const int64_t local_seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    const int64_t time_us = (local_seconds - offset_seconds) * kUsPerSecond + fraction_us;
    if (time_us < kEarliestTimeUs || time_us > kLatestTimeUs) return std::nullopt;
    return time_us;
}

CivilTime civil_time(int64_t time_us) {
    const int64_t days = floor_div(time_us, kUsPerDay);
    const int64_t of_day = time_us - days * kUsPerDay;
    const date::year_month_day ymd{date::sys_days{date::days{days}}};
    CivilTime out;
    out.year = static_cast<int>(ymd.year());
    out.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    out.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    const int64_t seconds = of_day / kUsPerSecond;
    out.hour = static_cast<int>(seconds / 3600);
    out.minute = static_cast<int>(seconds / 60 % 60);
    out.second = static_cast<int>(seconds % 60);
    out.hundredths = static_cast<int>(of_day % kUsPerSecond / 10000);
    return out;
}
