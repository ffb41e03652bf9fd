#!/usr/bin/env python3
"""Writes the binary seed inputs of fuzz_calendar and fuzz_time_window.

Both targets decode their input with libFuzzer's FuzzedDataProvider, which
takes integers from the end of the input, most significant byte first. Each
seed is written as the sequence of values the target reads, in reading order,
and encoded here the same way, so a seed starts the target on a realistic
path: well-formed dates, a sorted catalogue, start-up's step, a play session.
Run from anywhere; rewrites corpus/calendar/seed_* and corpus/time_window/seed_*.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
DAYS_IN_MONTH = [0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]


class Seed:
    def __init__(self):
        self.stream = bytearray()  # bytes in the order the target reads them

    def int_in(self, lo, hi, value):
        """ConsumeIntegralInRange(lo, hi) returning `value`."""
        assert lo <= value <= hi
        span = hi - lo
        count = 0
        while count < 8 and (span >> (8 * count)) > 0:
            count += 1
        self.stream += (value - lo).to_bytes(count, "big") if count else b""
        return self

    def int32(self, value):
        """ConsumeIntegral<int32_t>() returning `value`."""
        return self.int_in(-2**31, 2**31 - 1, value)

    def byte(self, value):
        return self.int_in(0, 255, value)

    def data(self):
        return bytes(reversed(self.stream))


def calendar_seeds():
    seeds = {}
    # 2003/01/15 and 2003/11/20, step 60: every operation once.
    s = Seed()
    s.int_in(0, 2, 0).int_in(-999, 9999, 2003).int_in(1, 12, 1).int_in(1, 31, 15)
    s.int_in(0, 2, 0).int_in(-999, 9999, 2003).int_in(1, 12, 11).int_in(1, 30, 20)
    s.int_in(0, 3, 0).int_in(0, 800, 60)
    for op in range(10):
        s.int_in(0, 9, op)
        if op == 7:
            s.int_in(0, 3, 0).int_in(0, 800, 400)
        if op == 9:
            s.int_in(0, 2, 0).int_in(-999, 9999, 1999).int_in(1, 12, 12).int_in(1, 31, 31)
    seeds["seed_every_operation"] = s.data()
    # Month 13, day 99 and year 99999 next to a well-formed date.
    s = Seed()
    s.int_in(0, 2, 1).int_in(-100000, 100000, 99999).int_in(-5, 14, 13).int_in(-2, 100, 99)
    s.int_in(0, 2, 0).int_in(-999, 9999, 2002).int_in(1, 12, 2).int_in(1, 28, 28)
    s.int_in(0, 3, 0).int_in(0, 800, 1)
    for op in (1, 2, 3, 4, 5, 6, 8, 1, 2, 5):
        s.int_in(0, 9, op)
    seeds["seed_malformed_month"] = s.data()
    # Month -5, day 0, a negative step.
    s = Seed()
    s.int_in(0, 2, 1).int_in(-100000, 100000, 2001).int_in(-5, 14, -5).int_in(-2, 100, 0)
    s.int_in(0, 2, 0).int_in(-999, 9999, 2001).int_in(1, 12, 3).int_in(1, 31, 5)
    s.int_in(0, 3, 1).int_in(-800, 0, -5)
    for op in (2, 1, 3, 5, 0, 2, 4):
        s.int_in(0, 9, op)
    seeds["seed_negative_step"] = s.data()
    # The extremes of the year range and of the step.
    s = Seed()
    s.int_in(0, 2, 2).int32(2**31 - 1).int32(12).int32(31)
    s.int_in(0, 2, 2).int32(-2**31).int32(-2**31).int32(2**31 - 1)
    s.int_in(0, 3, 2).int_in(0, 8, 8)
    for op in (1, 2, 3, 5, 4, 6, 8, 1, 2, 3, 7):
        s.int_in(0, 9, op)
    s.int_in(0, 3, 2).int_in(0, 8, 0)
    seeds["seed_extremes"] = s.data()
    return seeds


def time_window_seed(dates, step_kind, events, outline=((42, -124), (42, -120), (39, -120), (35, -114))):
    """dates: (kind, args) per entry as next_date reads them."""
    s = Seed()
    s.int_in(0, 200, len(dates))
    for kind, args in dates:
        s.int_in(0, 7, kind)
        if kind <= 3:
            s.int_in(0, 40, args)
        elif kind == 5:
            year, month, day = args
            s.int_in(1990, 2010, year).int_in(1, 12, month).int_in(1, DAYS_IN_MONTH[month], day)
        s.byte(60).byte(70).byte(80)  # latitude, longitude, magnitude 3.25
    s.int_in(0, 40, len(outline))
    s.byte(0)  # plausible outline vertices
    for lat, lon in outline:
        s.int_in(30, 45, lat).int_in(-126, -112, lon)
    s.int_in(0, 3, step_kind[0])
    if step_kind[0] == 1:
        s.int_in(-40, 400, step_kind[1])
    elif step_kind[0] == 2:
        s.int_in(0, 6, step_kind[1])
    for event in events:
        if event == "tick":
            s.int_in(0, 3, 2)
        elif event == "frame":
            s.int_in(0, 3, 3)
        elif isinstance(event, str):  # a key
            s.int_in(0, 3, 0).byte(ord(event))
        else:  # an arrow key code
            s.int_in(0, 3, 1).int_in(1, 108, event)
    return s.data()


def time_window_seeds():
    sorted_dates = [(5, (2000, 1, 1))] + [(0, gap) for gap in (9, 21, 5, 15, 9, 0, 3, 30, 12)]
    play = ["frame", "p", "tick", "frame", "tick", "tick", "tick", "tick", "frame", "tick", "tick", "tick",
            "h", "h", "frame", "g", "o", "frame"]
    return {
        # Ten sorted entries, start-up's step (1), a play session to the end.
        "seed_play": time_window_seed(sorted_dates, (1, 10), play),
        # The same catalogue: zoom, pan, thresholds, steps from the full view.
        "seed_keys": time_window_seed(sorted_dates, (0, 0),
                                      ["5", "frame", "a", "z", "Z", 100, 101, 102, 103, "frame", "G", "H", "0",
                                       "P", "tick", "O", "h", "frame"]),
        # Unsorted entries and a step of 0.
        "seed_unsorted": time_window_seed(
            [(5, (2005, 6, 1)), (5, (2001, 2, 28)), (4, 0), (5, (2008, 12, 31)), (0, 1), (5, (1999, 1, 1))],
            (2, 0), play),
        # One entry; a huge step.
        "seed_one_entry": time_window_seed([(5, (2003, 3, 5))], (2, 5), play),
        # No entries at all, no outline.
        "seed_empty": time_window_seed([], (1, -3), play, outline=()),
    }


def write(folder, seeds):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(path, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    write("calendar", calendar_seeds())
    write("time_window", time_window_seeds())
