// Tests for dates on the 365-day calendar: text, stepping, comparison, spans
// and the defined handling of malformed dates.
#include "calendar/calendar_date.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

struct Ymd {
    int32_t year, month, day;
};

using ::make_date;
CalendarDate make_date(const Ymd& ymd) { return make_date(ymd.year, ymd.month, ymd.day); }

::testing::AssertionResult is_date(const CalendarDate& date, const Ymd& want) {
    if (date.year == want.year && date.month == want.month && date.day == want.day)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got " << date.year << "/" << date.month << "/" << date.day << ", want "
           << want.year << "/" << want.month << "/" << want.day;
}

// Independent reference: moves a valid date one day at a time.
Ymd walk_days(Ymd d, int64_t n) {
    for (; n > 0; --n) {
        if (++d.day > days_in_month[d.month]) {
            d.day = 1;
            if (++d.month > 12) d = {d.year + 1, 1, 1};
        }
    }
    for (; n < 0; ++n) {
        if (--d.day < 1) {
            if (--d.month < 1) d = {d.year - 1, 12, d.day};
            d.day = days_in_month[d.month];
        }
    }
    return d;
}

// Keeps step_days at its start-up value of 1 around every test.
class CalendarTest : public ::testing::Test {
protected:
    void SetUp() override { set_step_days(1); }
    void TearDown() override { set_step_days(1); }
};

struct StepCase {
    Ymd start;
    int32_t step;
    Ymd want;
    const char* text;
};

TEST_F(CalendarTest, NewDateAndEachDatesOwnText) {
    CalendarDate date;
    EXPECT_TRUE(is_date(date, {1, 1, 1}));
    EXPECT_STREQ(date.text(), "01/01/01");
    // The legend prints the window's two dates side by side, and catalogue
    // entries are copied about: every date, copies included, keeps its own
    // text while another one changes.
    CalendarDate copy = date;
    CalendarDate later = make_date(2003, 11, 20);
    date.advance();
    EXPECT_STREQ(date.text(), "01/01/02");
    EXPECT_STREQ(copy.text(), "01/01/01");
    EXPECT_STREQ(later.text(), "2003/11/20");
}

TEST_F(CalendarTest, FormatText) {
    EXPECT_STREQ(make_date(1995, 7, 4).text(), "1995/07/04");
    EXPECT_STREQ(make_date(3, 1, 1).text(), "03/01/01");
    EXPECT_STREQ(make_date(99999, 1, 1).text(), "99999/01/0");
    EXPECT_STREQ(make_date(12345, -5, 1).text(), "12345/-5/0");
    EXPECT_STREQ(make_date(kMin, 1, 1).text(), "-214748364");
}

TEST_F(CalendarTest, SetCopiesNumbersAndRefreshesText) {
    CalendarDate target;
    CalendarDate source;
    source.year = 2003;
    source.month = 11;
    source.day = 20;  // text of source left stale on purpose
    target.set(source);
    EXPECT_TRUE(is_date(target, {2003, 11, 20}));
    EXPECT_STREQ(target.text(), "2003/11/20");
}

TEST_F(CalendarTest, Advance) {
    const StepCase cases[] = {
        {{2003, 1, 30}, 1, {2003, 1, 31}, "2003/01/31"},
        {{2003, 1, 31}, 1, {2003, 2, 1}, "2003/02/01"},
        {{2003, 12, 31}, 1, {2004, 1, 1}, "2004/01/01"},
        {{2003, 2, 28}, 1, {2003, 3, 1}, "2003/03/01"},
        {{2004, 2, 28}, 1, {2004, 3, 1}, "2004/03/01"},  // no leap years
        {{2003, 1, 15}, 60, {2003, 3, 16}, "2003/03/16"},
        {{2003, 11, 20}, 400, {2004, 12, 25}, "2004/12/25"},
        {{2003, 1, 10}, -400, {2001, 12, 6}, "2001/12/06"},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "advance " << c.start.year << "/" << c.start.month
                                        << "/" << c.start.day << " by " << c.step);
        set_step_days(c.step);
        CalendarDate date = make_date(c.start);
        date.advance();
        EXPECT_TRUE(is_date(date, c.want));
        EXPECT_STREQ(date.text(), c.text);
    }
}

TEST_F(CalendarTest, Retreat) {
    const StepCase cases[] = {
        {{2003, 3, 1}, 1, {2003, 2, 28}, "2003/02/28"},
        {{2003, 1, 1}, 1, {2002, 12, 31}, "2002/12/31"},
        {{2003, 3, 5}, 5, {2003, 2, 28}, "2003/02/28"},
        {{2003, 3, 1}, 29, {2003, 1, 31}, "2003/01/31"},
        {{2001, 12, 6}, -400, {2003, 1, 10}, "2003/01/10"},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "retreat " << c.start.year << "/" << c.start.month
                                        << "/" << c.start.day << " by " << c.step);
        set_step_days(c.step);
        CalendarDate date = make_date(c.start);
        date.retreat();
        EXPECT_TRUE(is_date(date, c.want));
        EXPECT_STREQ(date.text(), c.text);
    }
}

TEST_F(CalendarTest, StepZeroKeepsDateButRefreshesText) {
    set_step_days(0);
    CalendarDate date;
    date.year = 2003;
    date.month = 7;
    date.day = 9;  // text still "01/01/01"
    date.advance();
    EXPECT_TRUE(is_date(date, {2003, 7, 9}));
    EXPECT_STREQ(date.text(), "2003/07/09");
    date.year = 1999;
    date.retreat();
    EXPECT_TRUE(is_date(date, {1999, 7, 9}));
    EXPECT_STREQ(date.text(), "1999/07/09");
}

TEST_F(CalendarTest, Advance30DaysLeavesStepDays) {
    set_step_days(7);
    CalendarDate date = make_date(2003, 1, 15);
    date.advance_30_days();
    EXPECT_TRUE(is_date(date, {2003, 2, 14}));
    EXPECT_STREQ(date.text(), "2003/02/14");
    date = make_date(2003, 12, 15);
    date.advance_30_days();
    EXPECT_TRUE(is_date(date, {2004, 1, 14}));
    EXPECT_EQ(step_days, 7);
    date.advance();
    EXPECT_TRUE(is_date(date, {2004, 1, 21}));
}

TEST_F(CalendarTest, Comparisons) {
    const CalendarDate end_2002 = make_date(2002, 12, 31);
    const CalendarDate start_2003 = make_date(2003, 1, 1);
    EXPECT_TRUE(end_2002.is_before(start_2003));
    EXPECT_FALSE(end_2002.is_after(start_2003));
    EXPECT_TRUE(start_2003.is_after(end_2002));
    EXPECT_FALSE(start_2003.is_before(end_2002));

    EXPECT_TRUE(make_date(2003, 5, 2).is_after(make_date(2003, 5, 1)));
    EXPECT_TRUE(make_date(2003, 4, 30).is_before(make_date(2003, 5, 1)));

    CalendarDate copy;
    copy.set(start_2003);
    EXPECT_TRUE(start_2003.equals(copy));
    EXPECT_FALSE(start_2003.is_before(copy));
    EXPECT_FALSE(start_2003.is_after(copy));
    EXPECT_FALSE(start_2003.equals(end_2002));
}

TEST_F(CalendarTest, ComparisonsUseRawNumbers) {
    // Malformed numbers are compared as they stand, not normalised.
    EXPECT_TRUE(make_date(2003, 12, 31).is_before(make_date(2003, 13, 1)));
    EXPECT_TRUE(make_date(2003, 0, 5).is_before(make_date(2003, 1, 1)));
    EXPECT_TRUE(make_date(2003, 2, 99).is_after(make_date(2003, 2, 28)));
    EXPECT_FALSE(make_date(2003, 2, 99).equals(make_date(2003, 2, 28)));
    EXPECT_TRUE(make_date(kMin, 1, 1).is_before(make_date(kMax, 1, 1)));
}

TEST_F(CalendarTest, DaySpan) {
    const struct {
        Ymd first, last;
        int32_t days;
    } cases[] = {
        {{1990, 3, 15}, {2000, 7, 10}, 3767}, {{1973, 6, 1}, {2003, 1, 15}, 10813},
        {{1999, 11, 20}, {2000, 2, 5}, 77},   {{2002, 5, 10}, {2002, 9, 1}, 114},
        {{1973, 6, 1}, {2003, 6, 30}, 10979}, {{2003, 1, 15}, {2001, 5, 3}, -622},
        {{2003, 1, 15}, {2003, 1, 15}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(day_span(make_date(c.first), make_date(c.last)), c.days)
            << c.first.year << "/" << c.first.month << "/" << c.first.day << " -> "
            << c.last.year << "/" << c.last.month << "/" << c.last.day;
    }
}

TEST_F(CalendarTest, SteppingMatchesDayByDayWalk) {
    std::mt19937 random(20030115);
    std::uniform_int_distribution<int32_t> year(-3000, 3000), month(1, 12), step(-800, 800);
    for (int i = 0; i < 2000; ++i) {
        const int32_t m = month(random);
        std::uniform_int_distribution<int32_t> day(1, days_in_month[m]);
        const Ymd start{year(random), m, day(random)};
        const int32_t n = step(random);
        set_step_days(n);
        CalendarDate date = make_date(start);
        date.advance();
        ASSERT_TRUE(is_date(date, walk_days(start, n))) << "step " << n;
        date = make_date(start);
        date.retreat();
        ASSERT_TRUE(is_date(date, walk_days(start, -static_cast<int64_t>(n)))) << "step " << n;
    }
}

TEST_F(CalendarTest, RoundTripAndSpanOverLargeSteps) {
    std::mt19937 random(19730601);
    std::uniform_int_distribution<int32_t> year(-1000000, 1000000), month(1, 12),
        step(0, 50000000);
    for (int i = 0; i < 5000; ++i) {
        const int32_t m = month(random);
        std::uniform_int_distribution<int32_t> day(1, days_in_month[m]);
        const CalendarDate start = make_date(year(random), m, day(random));
        const int32_t n = step(random);
        set_step_days(n);
        CalendarDate date;
        date.set(start);
        date.advance();
        ASSERT_EQ(day_span(start, date), n);
        ASSERT_EQ(day_span(date, start), -n);
        date.retreat();
        ASSERT_TRUE(date.equals(start)) << start.text() << " step " << n << " -> " << date.text();
        ASSERT_STREQ(date.text(), start.text());
    }
}

TEST_F(CalendarTest, MalformedDatesStepFromNearestCalendarDate) {
    const StepCase cases[] = {
        {{2003, 0, 15}, 1, {2003, 1, 16}, "2003/01/16"},
        {{2003, 13, 5}, 1, {2003, 12, 6}, "2003/12/06"},
        {{2003, -5, 99}, 1, {2003, 2, 1}, "2003/02/01"},
        {{2003, 3, 0}, 1, {2003, 3, 2}, "2003/03/02"},
        {{2003, 2, 99}, 1, {2003, 3, 1}, "2003/03/01"},
        {{2003, 2, 99}, 0, {2003, 2, 28}, "2003/02/28"},
        {{2003, 13, 99}, -1, {2003, 12, 30}, "2003/12/30"},
        {{99999, 1, 1}, 0, {99999, 1, 1}, "99999/01/0"},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start.year << "/" << c.start.month << "/"
                                        << c.start.day << " by " << c.step);
        set_step_days(c.step);
        CalendarDate date = make_date(c.start);
        date.advance();
        EXPECT_TRUE(is_date(date, c.want));
        EXPECT_STREQ(date.text(), c.text);
    }
    EXPECT_EQ(day_span(make_date(2003, 0, 0), make_date(2003, 13, 99)), 364);
    EXPECT_EQ(day_span(make_date(2003, 2, 99), make_date(2003, 3, 1)), 1);
}

TEST_F(CalendarTest, ExtremeYearsSaturate) {
    set_step_days(kMax);
    CalendarDate date = make_date(kMax, 12, 31);
    date.advance();
    EXPECT_TRUE(is_date(date, {kMax, 12, 31}));
    EXPECT_STREQ(date.text(), "2147483647");

    set_step_days(1);  // one day past the last representable day
    date.advance();
    EXPECT_TRUE(is_date(date, {kMax, 12, 31}));
    date = make_date(kMin, 1, 1);
    date.retreat();
    EXPECT_TRUE(is_date(date, {kMin, 1, 1}));

    set_step_days(kMax);
    date = make_date(kMax, 6, 1);
    date.advance_30_days();  // still representable
    EXPECT_TRUE(is_date(date, {kMax, 7, 1}));

    date = make_date(kMin, 1, 1);
    date.retreat();
    EXPECT_TRUE(is_date(date, {kMin, 1, 1}));

    // kMax days forward from the earliest day: 5883516 years and 307 days.
    date.advance();
    EXPECT_TRUE(is_date(date, {kMin + 5883516, 11, 4}));
    EXPECT_EQ(day_span(make_date(kMin, 1, 1), date), kMax);

    set_step_days(kMin);  // the most negative step moves 2^31 days back
    date = make_date(2003, 1, 1);
    date.advance();
    EXPECT_TRUE(is_date(date, {2003 - 5883517, 2, 27}));
    EXPECT_EQ(day_span(make_date(2003, 1, 1), date), kMin);
    date.retreat();  // and forward again
    EXPECT_TRUE(is_date(date, {2003, 1, 1}));

    set_step_days(kMax);
    date = make_date(kMin, 0, 0);
    date.retreat();
    EXPECT_TRUE(is_date(date, {kMin, 1, 1}));

    EXPECT_EQ(day_span(make_date(kMin, 1, 1), make_date(kMax, 12, 31)), kMax);
    EXPECT_EQ(day_span(make_date(kMax, 13, 99), make_date(kMin, -5, 0)), kMin);
}

}  // namespace
