// Fuzz target: calendar dates, well-formed or not, driven through every
// operation with arbitrary step sizes. Any date's text must stay terminated
// within its buffer and match its numbers whenever they fit; well-formed
// dates must move exactly by the step, both ways, and stay well-formed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "calendar/calendar_date.h"

namespace {

// Farthest a date may lie from the ends of the 32-bit year range and still
// move by any 32-bit step without reaching them (2^31 days is under 5.9
// million years).
constexpr int64_t kYearMargin = 6'000'000;

[[noreturn]] void fail(const char* what, const CalendarDate& date) {
    std::fprintf(stderr, "calendar invariant broken: %s (date %d/%d/%d, step_days %d)\n", what,
                 static_cast<int>(date.year), static_cast<int>(date.month), static_cast<int>(date.day),
                 static_cast<int>(step_days));
    std::abort();
}

bool well_formed(const CalendarDate& date) {
    return date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= days_in_month[date.month];
}

// Well-formed and far enough from the year range's ends that no move of a
// 32-bit step can saturate.
bool movable(const CalendarDate& date) {
    return well_formed(date) && date.year > std::numeric_limits<int32_t>::min() + kYearMargin &&
           date.year < std::numeric_limits<int32_t>::max() - kYearMargin;
}

void check_text(const CalendarDate& date) {
    if (std::memchr(date.text(), '\0', sizeof date.text_buffer) == nullptr) fail("text not terminated", date);
    char expected[64];
    const int length = std::snprintf(expected, sizeof expected, "%02d/%02d/%02d", static_cast<int>(date.year),
                                     static_cast<int>(date.month), static_cast<int>(date.day));
    if (length >= 0 && length <= 10 && std::strcmp(expected, date.text()) != 0)
        fail("text does not match the numbers", date);
}

CalendarDate make_date(FuzzedDataProvider& in) {
    CalendarDate date;
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:  // well-formed, in the years a catalogue holds
            date.year = in.ConsumeIntegralInRange<int32_t>(-999, 9999);
            date.month = in.ConsumeIntegralInRange<int32_t>(1, 12);
            date.day = in.ConsumeIntegralInRange<int32_t>(1, days_in_month[date.month]);
            break;
        case 1:  // near the ranges' edges, as a malformed line gives
            date.year = in.ConsumeIntegralInRange<int32_t>(-100000, 100000);
            date.month = in.ConsumeIntegralInRange<int32_t>(-5, 14);
            date.day = in.ConsumeIntegralInRange<int32_t>(-2, 100);
            break;
        default:  // anything at all
            date.year = in.ConsumeIntegral<int32_t>();
            date.month = in.ConsumeIntegral<int32_t>();
            date.day = in.ConsumeIntegral<int32_t>();
            break;
    }
    return date;
}

int32_t make_step(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return in.ConsumeIntegralInRange<int32_t>(0, 800);
        case 1:
            return in.ConsumeIntegralInRange<int32_t>(-800, 0);
        case 2:
            return in.PickValueInArray<int32_t>({std::numeric_limits<int32_t>::min(),
                                                 std::numeric_limits<int32_t>::min() + 1, -1, 0, 1, 30, 365,
                                                 std::numeric_limits<int32_t>::max() - 1,
                                                 std::numeric_limits<int32_t>::max()});
        default:
            return in.ConsumeIntegral<int32_t>();
    }
}

// Moves `date` by step_days one way, checks the move against day_span, and
// moves it back.
void check_round_trip(CalendarDate& date, bool forward_first) {
    const CalendarDate before = date;
    if (forward_first) date.advance(); else date.retreat();
    check_text(date);
    if (!movable(before)) return;
    if (!well_formed(date)) fail("a move left the calendar", date);
    // Retreating by -2^31 moves 2^31 days, one more than day_span can give.
    const int64_t moved = forward_first ? static_cast<int64_t>(step_days) : -static_cast<int64_t>(step_days);
    if (moved <= std::numeric_limits<int32_t>::max() && day_span(before, date) != moved)
        fail("day_span differs from the step", date);
    if (forward_first) date.retreat(); else date.advance();
    if (!date.equals(before)) fail("a move and its reverse do not round-trip", date);
    check_text(date);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    CalendarDate a = make_date(in);
    CalendarDate b = make_date(in);
    set_step_days(make_step(in));

    while (in.remaining_bytes() > 0) {
        const int32_t step_before = step_days;
        switch (in.ConsumeIntegralInRange<int>(0, 9)) {
            case 0:
                a.set(b);
                check_text(a);
                if (!a.equals(b)) fail("set did not copy the numbers", a);
                break;
            case 1:
                check_round_trip(a, true);
                break;
            case 2:
                check_round_trip(a, false);
                break;
            case 3: {
                const CalendarDate before = a;
                a.advance_30_days();
                check_text(a);
                if (step_days != step_before) fail("advance_30_days changed step_days", a);
                if (movable(before) && (!well_formed(a) || day_span(before, a) != 30))
                    fail("advance_30_days did not move by 30 days", a);
                break;
            }
            case 4: {
                // Exactly one of before, after, equal; is_after mirrors is_before.
                const int holds = a.is_before(b) + a.is_after(b) + a.equals(b);
                if (holds != 1) fail("comparisons are not a strict order", a);
                if (a.is_after(b) != b.is_before(a) || a.equals(b) != b.equals(a))
                    fail("comparisons are not symmetric", a);
                const CalendarDate copy = a;
                if (!a.equals(copy) || a.is_before(copy) || a.is_after(copy)) fail("a date differs from its copy", a);
                break;
            }
            case 5: {
                const int32_t forward = day_span(a, b);
                const int32_t backward = day_span(b, a);
                if (well_formed(a) && well_formed(b)) {
                    // The order of well-formed dates is the order of their day counts.
                    if ((forward > 0) != a.is_before(b) || (forward < 0) != a.is_after(b) ||
                        (forward == 0) != a.equals(b))
                        fail("day_span disagrees with the comparisons", a);
                    if (forward != std::numeric_limits<int32_t>::min() &&
                        backward != std::numeric_limits<int32_t>::min() && forward != -backward)
                        fail("day_span is not antisymmetric", a);
                }
                break;
            }
            case 6:
                a.format_text();
                check_text(a);
                break;
            case 7:
                set_step_days(make_step(in));
                break;
            case 8: {
                CalendarDate swap = a;
                a = b;
                b = swap;
                break;
            }
            default:
                b = make_date(in);
                break;
        }
    }
    return 0;
}
