// ISO 8601 times as data centres write them, converted to UTC, and the
// viewer's date and time fields made from a UTC time.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Microseconds since 1970-01-01 00:00:00 UTC of the earliest and latest
// times the importer accepts (years 0001 to 9999).
inline constexpr int64_t kEarliestTimeUs = -62135596800LL * 1000000;
inline constexpr int64_t kLatestTimeUs = 253402300799LL * 1000000 + 999999;

// Parses "YYYY-MM-DD", then "T" or a space and "hh:mm[:ss[.fraction]]", then
// "Z", "+hh:mm", "-hh:mm", "+hhmm", "+hh" or nothing (UTC). The fraction may
// have any number of digits; digits past the microsecond are cut off. A
// leap second (ss = 60) reads as the last hundredth of its minute, so it
// stays on its own day. With `date_alone`, a date without a time means its
// midnight. Empty when the text is not such a time or names no real day.
std::optional<int64_t> parse_iso_time(std::string_view text, bool date_alone = false);

// The civil UTC fields of a time, as the viewer's catalogue stores them.
struct CivilTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
    int hundredths;  // cut off, never rounded
};
CivilTime civil_time(int64_t time_us);
