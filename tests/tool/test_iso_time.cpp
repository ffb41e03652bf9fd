// ISO 8601 parsing to UTC and the civil fields the viewer's lines are made of.
#include <gtest/gtest.h>

#include "tool/selection/iso_time.h"

namespace {

// Microseconds of a UTC civil time, for expectations written by hand.
int64_t utc(int64_t days_since_1970, int hour, int minute, int second, int64_t micro = 0) {
    return ((days_since_1970 * 24 + hour) * 60 + minute) * 60 * 1000000LL + second * 1000000LL + micro;
}

constexpr int64_t k2024_02_29 = 19782;  // days from 1970-01-01

TEST(IsoTime, AcceptsTheSpellingsDataCentresUse) {
    const int64_t expected = utc(k2024_02_29, 23, 59, 59, 999000);
    EXPECT_EQ(parse_iso_time("2024-02-29T23:59:59.999Z"), expected);
    EXPECT_EQ(parse_iso_time("2024-02-29 23:59:59.999"), expected);
    EXPECT_EQ(parse_iso_time("2024-02-29T23:59:59.999000Z"), expected);
    EXPECT_EQ(parse_iso_time("2024-02-29T23:59:59.99900049999"), expected);  // cut below the microsecond
    EXPECT_EQ(parse_iso_time("2024-02-29T23:59:59"), utc(k2024_02_29, 23, 59, 59));
    EXPECT_EQ(parse_iso_time("2024-02-29T23:59"), utc(k2024_02_29, 23, 59, 0));
    EXPECT_EQ(parse_iso_time("2024-02-29T23:59:59,5Z"), utc(k2024_02_29, 23, 59, 59, 500000));
}

TEST(IsoTime, OffsetsMoveTheTimeAndTheDateToUtc) {
    // 01:30 at +02:00 is 23:30 UTC the day before (and across a leap day).
    EXPECT_EQ(parse_iso_time("2024-03-01T01:30:00+02:00"), utc(k2024_02_29, 23, 30, 0));
    EXPECT_EQ(parse_iso_time("2024-03-01T01:30:00+0200"), utc(k2024_02_29, 23, 30, 0));
    EXPECT_EQ(parse_iso_time("2024-03-01T01:30:00+02"), utc(k2024_02_29, 23, 30, 0));
    // 22:15 at -05:30 is 03:45 UTC the next day; a year end too.
    EXPECT_EQ(parse_iso_time("2024-02-29T22:15:00-05:30"), utc(k2024_02_29 + 1, 3, 45, 0));
    EXPECT_EQ(parse_iso_time("2023-12-31T23:00:00.25-01:00"), utc(19723, 0, 0, 0, 250000));
}

TEST(IsoTime, RefusesWhatIsNotARealTime) {
    for (const char* text : {"", "2023-02-29T00:00:00Z", "2024-13-01T00:00:00", "2024-00-10T00:00:00",
                             "2024-04-31T00:00:00", "2024-02-29T24:00:00", "2024-02-29T12:60:00",
                             "2024-02-29T12:00:61", "2024-02-29T12:00:00.", "2024-02-29T12:00:00ZZ",
                             "2024-02-29T12:00:00+25:00", "2024-02-29T12:00:00+02:", "2024-02-29X12:00:00",
                             "24-02-29T12:00:00", "2024-2-29T12:00:00", "0000-01-01T00:00:00", "1563802753000",
                             "2024-02-29", "2024-02-29T12:00:00 "}) {
        EXPECT_FALSE(parse_iso_time(text)) << text;
    }
    // A date alone only where asked for: --from and --to, meaning midnight.
    EXPECT_EQ(parse_iso_time("2024-02-29", true), utc(k2024_02_29, 0, 0, 0));
}

TEST(IsoTime, LeapSecondStaysOnItsDay) {
    const CivilTime t = civil_time(*parse_iso_time("2016-12-31T23:59:60.5Z"));
    EXPECT_EQ(t.year, 2016);
    EXPECT_EQ(t.day, 31);
    EXPECT_EQ(t.second, 59);
    EXPECT_EQ(t.hundredths, 99);
}

TEST(IsoTime, CivilFieldsCutHundredthsAndHandleTimesBefore1970) {
    const CivilTime last = civil_time(*parse_iso_time("2024-02-29T23:59:59.999999Z"));
    EXPECT_EQ(last.month, 2);
    EXPECT_EQ(last.day, 29);
    EXPECT_EQ(last.hour * 10000 + last.minute * 100 + last.second, 235959);
    EXPECT_EQ(last.hundredths, 99);

    // Before 1970 the division must floor, not truncate toward zero.
    const CivilTime old = civil_time(*parse_iso_time("1906-04-18T13:12:21.987Z"));
    EXPECT_EQ(old.year, 1906);
    EXPECT_EQ(old.month, 4);
    EXPECT_EQ(old.day, 18);
    EXPECT_EQ(old.hour, 13);
    EXPECT_EQ(old.minute, 12);
    EXPECT_EQ(old.second, 21);
    EXPECT_EQ(old.hundredths, 98);
    const CivilTime before_epoch = civil_time(-1);  // one microsecond before 1970
    EXPECT_EQ(before_epoch.year, 1969);
    EXPECT_EQ(before_epoch.hundredths, 99);
}

}  // namespace
