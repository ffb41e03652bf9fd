// Time axes of a day, a week and ten years: ticks in the unit that fits,
// and no two ticks labelled alike.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "stats/time_axis.h"

namespace {

// 2018-03-04 00:00 UTC.
constexpr double kMarch4 = 1520121600.0;
constexpr double kDay = 86400.0;

void expect_readable(const TimeAxis& axis) {
    EXPECT_GE(axis.ticks.size(), 3u);
    EXPECT_LE(axis.ticks.size(), 6u);
    std::set<std::string> seen;
    for (const TimeTick& tick : axis.ticks) {
        EXPECT_TRUE(seen.insert(tick.label + "/" + tick.context).second) << tick.label << " " << tick.context;
        EXPECT_GE(tick.seconds, axis.low);
        EXPECT_LE(tick.seconds, axis.high);
    }
    ASSERT_FALSE(axis.ticks.empty());
    // The first tick says where the axis is in the calendar, unless the
    // label alone does (a year).
    const std::string& first = axis.ticks.front().label;
    EXPECT_TRUE(!axis.ticks.front().context.empty() || first.find_first_not_of("-0123456789") == std::string::npos)
        << first;
}

TEST(TimeAxis, OneDayInHoursWithItsDate) {
    const TimeAxis axis = fit_time_axis(kMarch4 + 120.0, kMarch4 + kDay - 300.0, 6);
    expect_readable(axis);
    EXPECT_EQ(axis.ticks.front().label, "00:00");
    EXPECT_EQ(axis.ticks.front().context, "2018-03-04");
    EXPECT_EQ(axis.ticks[1].label, "06:00");
    EXPECT_EQ(axis.ticks[1].context, "");
    EXPECT_EQ(axis.ticks.back().label, "00:00");
    EXPECT_EQ(axis.ticks.back().context, "2018-03-05");
}

TEST(TimeAxis, OneWeekInDays) {
    const TimeAxis axis = fit_time_axis(kMarch4 + 300.0, kMarch4 + 7 * kDay - 60.0, 6);
    expect_readable(axis);
    EXPECT_EQ(axis.ticks.front().label, "Mar 4");
    EXPECT_EQ(axis.ticks.front().context, "2018");
    EXPECT_EQ(axis.ticks[1].label, "Mar 6");
    EXPECT_EQ(axis.ticks[1].context, "");
}

TEST(TimeAxis, TenYearsInYears) {
    // 2010-01-01 to 2019-12-31.
    const TimeAxis axis = fit_time_axis(1262304000.0, 1577750400.0, 6);
    expect_readable(axis);
    EXPECT_EQ(axis.ticks.front().label, "2010");
    EXPECT_EQ(axis.ticks[1].label, "2012");
    EXPECT_EQ(axis.ticks.back().label, "2020");
}

TEST(TimeAxis, ThreeDaysOfHalfDaysNeverRepeatALabel) {
    // 12-hour ticks over two and a half days: "12:00" comes back, and each
    // time with its date.
    const TimeAxis axis = fit_time_axis(kMarch4, kMarch4 + 2.4 * kDay, 6);
    expect_readable(axis);
    EXPECT_EQ(axis.ticks[1].label, "12:00");
    EXPECT_EQ(axis.ticks[3].label, "12:00");
    EXPECT_EQ(axis.ticks[3].context, "2018-03-05");
}

TEST(TimeAxis, OneInstantAndAHundredCenturies) {
    expect_readable(fit_time_axis(kMarch4, kMarch4, 6));
    expect_readable(fit_time_axis(-62135596800.0, 253402300799.0, 6));  // years 1 to 9999
}

}  // namespace
