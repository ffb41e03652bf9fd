#!/usr/bin/env python3
"""Writes california_quakes.txt, the sample catalogue shown over california.txt.

The catalogue is SYNTHETIC: every event is made up by this script. Locations
follow the broad fault zones of California (San Andreas, the Bay Area faults,
the Eastern California shear zone, the Los Angeles basin, the San Jacinto and
Imperial faults) and magnitudes follow a Gutenberg-Richter law with b = 1, but
no event corresponds to a real earthquake.

Background events are spread evenly over 2001-2008; a few mainshocks each bring
an aftershock sequence that decays in time (Omori law) along the rupture, so
playback shows activity flaring up in different places in different years.

The output is deterministic (fixed seed). Standard library only.
Run:  python3 make_catalogue.py   (rewrites california_quakes.txt beside it)
      python3 make_catalogue.py --count 1000000 --years 1970-2019 -o big.txt
                                  (a million events over 50 years, as the
                                   benchmarks measure)
"""

import argparse
import math
import os
import random

SEED = 20010101
FIRST_YEAR = 2001
LAST_YEAR = 2008
DAYS_PER_YEAR = 365  # the viewer's calendar has no leap years
MONTH_DAYS = [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]

BACKGROUND_EVENTS = 300
MIN_MAGNITUDE = 1.0   # smallest magnitude in the catalogue
MAX_MAGNITUDE = 7.9   # hard ceiling for every drawn magnitude
B_VALUE = 1.0         # Gutenberg-Richter slope

# Events must keep clear of the outline and of the legend strip along the
# bottom of the outline's bounding box.
EDGE_MARGIN = 0.1     # degrees from any outline edge
BOTTOM_MARGIN = 0.65  # degrees above the bounding box bottom

HERE = os.path.dirname(os.path.abspath(__file__))
OUTLINE_FILE = os.path.join(HERE, "california.txt")
OUTPUT_FILE = os.path.join(HERE, "california_quakes.txt")

# Background source zones: (weight, kind, geometry, scatter in degrees).
# "line" zones are polylines of (lat, lon); "spot" zones are a single centre.
ZONES = [
    (0.34, "line", [(40.3, -124.3), (38.0, -122.8), (36.5, -121.0),
                    (35.0, -119.0), (34.3, -117.5), (33.5, -116.0),
                    (32.9, -115.5)], 0.08),                      # San Andreas
    (0.10, "line", [(38.1, -122.3), (37.6, -122.0),
                    (37.0, -121.5)], 0.06),                      # Hayward/Calaveras
    (0.20, "line", [(34.8, -116.1), (36.0, -117.6), (37.4, -118.4),
                    (38.5, -119.4)], 0.12),                      # Eastern California shear zone
    (0.14, "spot", (34.35, -118.2), 0.2),                        # Los Angeles basin
    (0.12, "line", [(34.1, -117.3), (33.4, -116.4),
                    (32.8, -115.5)], 0.07),                      # San Jacinto / Imperial
    (0.05, "spot", (38.8, -122.8), 0.05),                        # The Geysers
    (0.05, "spot", (37.6, -118.9), 0.08),                        # Long Valley
]

# Mainshocks: (year, month, day, lat, lon, magnitude, strike in degrees
# clockwise from north, number of aftershocks).
MAINSHOCKS = [
    (2001, 9, 12, 33.55, -116.55, 5.3, 315, 18),   # San Jacinto zone
    (2002, 11, 3, 34.60, -116.30, 7.3, 330, 80),   # Mojave desert
    (2003, 12, 22, 35.70, -121.00, 6.4, 300, 45),  # central coast
    (2005, 6, 15, 40.40, -123.70, 5.8, 320, 25),   # north coast
    (2006, 7, 19, 37.50, -118.60, 6.1, 340, 35),   # Owens Valley
    (2007, 10, 30, 37.30, -121.70, 5.5, 320, 20),  # Bay Area
    (2008, 4, 26, 33.00, -115.55, 7.1, 320, 60),   # Imperial Valley
]
OMORI_C = 0.3      # days; delays the start of the power-law decay
OMORI_P = 1.1      # decay exponent
AFTERSHOCK_SPAN = 120.0  # days after the mainshock


def read_outline(path):
    """Outline vertices as (lat, lon) pairs, header line skipped."""
    with open(path) as f:
        lines = f.read().split("\n")[1:]
    points = []
    for line in lines:
        if line.strip():
            lat, lon = line.split(",")
            points.append((int(lat), int(lon)))
    return points


def inside_polygon(lat, lon, poly):
    inside = False
    n = len(poly)
    for i in range(n):
        y1, x1 = poly[i]
        y2, x2 = poly[(i + 1) % n]
        if (y1 > lat) != (y2 > lat):
            x_cross = x1 + (lat - y1) * (x2 - x1) / (y2 - y1)
            if lon < x_cross:
                inside = not inside
    return inside


def distance_to_edges(lat, lon, poly):
    best = float("inf")
    n = len(poly)
    for i in range(n):
        y1, x1 = poly[i]
        y2, x2 = poly[(i + 1) % n]
        dx, dy = x2 - x1, y2 - y1
        t = ((lon - x1) * dx + (lat - y1) * dy) / (dx * dx + dy * dy)
        t = max(0.0, min(1.0, t))
        best = min(best, math.hypot(lon - (x1 + t * dx), lat - (y1 + t * dy)))
    return best


class Region:
    def __init__(self, poly):
        self.poly = poly
        self.min_lat = min(p[0] for p in poly)

    def accepts(self, lat, lon):
        # Test the values as they will be written (two decimals).
        lat, lon = round(lat, 2), round(lon, 2)
        return (lat >= self.min_lat + BOTTOM_MARGIN
                and inside_polygon(lat, lon, self.poly)
                and distance_to_edges(lat, lon, self.poly) >= EDGE_MARGIN)


def gutenberg_richter(rng, m_min, m_max):
    """Magnitude from a truncated exponential with slope B_VALUE."""
    beta = B_VALUE * math.log(10.0)
    span = 1.0 - math.exp(-beta * (m_max - m_min))
    return m_min - math.log(1.0 - rng.random() * span) / beta


def point_on_polyline(rng, line):
    lengths = [math.dist(a, b) for a, b in zip(line, line[1:])]
    s = rng.random() * sum(lengths)
    for (a, b), seg in zip(zip(line, line[1:]), lengths):
        if s <= seg:
            t = s / seg
            return a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1])
        s -= seg
    return line[-1]


def background_location(rng, region):
    weights = [z[0] for z in ZONES]
    while True:
        _, kind, geometry, scatter = rng.choices(ZONES, weights)[0]
        if kind == "line":
            lat, lon = point_on_polyline(rng, geometry)
        else:
            lat, lon = geometry
        lat += rng.gauss(0.0, scatter)
        lon += rng.gauss(0.0, scatter)
        if region.accepts(lat, lon):
            return lat, lon


def omori_delay(rng):
    """Days after the mainshock, drawn from a truncated Omori-Utsu law."""
    q = 1.0 - OMORI_P
    lo = OMORI_C ** q
    hi = (AFTERSHOCK_SPAN + OMORI_C) ** q
    return (lo + rng.random() * (hi - lo)) ** (1.0 / q) - OMORI_C


def rupture_half_length_deg(magnitude):
    """Half the rupture length, in degrees of latitude (Wells-Coppersmith-like)."""
    length_km = 10.0 ** (0.69 * magnitude - 3.22)
    return 0.5 * length_km / 111.0


def aftershock_location(rng, region, lat0, lon0, magnitude, strike):
    half = max(rupture_half_length_deg(magnitude), 0.03)
    s = math.radians(strike)
    cos_lat = math.cos(math.radians(lat0))
    while True:
        along = rng.uniform(-half, half)
        across = rng.gauss(0.0, 0.15 * half + 0.02)
        north = along * math.cos(s) - across * math.sin(s)
        east = along * math.sin(s) + across * math.cos(s)
        lat = lat0 + north + rng.gauss(0.0, 0.02)
        lon = lon0 + east / cos_lat + rng.gauss(0.0, 0.02)
        if region.accepts(lat, lon):
            return lat, lon


def day_index(year, month, day):
    """Days since 2001-01-01 on the 365-day calendar."""
    return ((year - FIRST_YEAR) * DAYS_PER_YEAR
            + sum(MONTH_DAYS[:month - 1]) + day - 1)


def calendar_date(index):
    year = FIRST_YEAR + index // DAYS_PER_YEAR
    rest = index % DAYS_PER_YEAR
    month = 1
    while rest >= MONTH_DAYS[month - 1]:
        rest -= MONTH_DAYS[month - 1]
        month += 1
    return year, month, rest + 1


def format_event(centiseconds, lat, lon, magnitude):
    """One catalogue line; centiseconds count from 2001-01-01 00:00:00.00."""
    per_day = 24 * 3600 * 100
    year, month, day = calendar_date(centiseconds // per_day)
    cs = centiseconds % per_day
    hh, cs = divmod(cs, 3600 * 100)
    mm, cs = divmod(cs, 60 * 100)
    ss, hundredths = divmod(cs, 100)
    return (f"{year},{month:02d},{day:02d},"
            f"{hh:02d}{mm:02d}{ss:02d}.{hundredths:02d},"
            f"{lat:.2f},{lon:.2f},{magnitude:.1f}")


def parse_years(text):
    try:
        first, last = (int(part) for part in text.split("-"))
    except ValueError:
        raise argparse.ArgumentTypeError(f"not FIRST-LAST: {text!r}")
    if not 1 <= first <= last <= 9999:
        raise argparse.ArgumentTypeError(f"years out of order or range: {text!r}")
    return first, last


def positive_count(text):
    try:
        count = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}")
    if count < 0:
        raise argparse.ArgumentTypeError(f"not 0 or more: {text!r}")
    return count


def parse_arguments():
    parser = argparse.ArgumentParser(
        description="Writes a synthetic earthquake catalogue in the viewer's layout over the "
                    "California outline: Gutenberg-Richter magnitudes (b = 1), background events "
                    "along the main fault zones and Omori aftershock sequences of a few mainshocks. "
                    "Deterministic: the same options give the same file.")
    parser.add_argument("--count", type=positive_count, default=BACKGROUND_EVENTS,
                        help="background events; the mainshocks' sequences within the years come "
                             f"on top (default {BACKGROUND_EVENTS})")
    parser.add_argument("--years", type=parse_years, default=(FIRST_YEAR, LAST_YEAR),
                        metavar="FIRST-LAST",
                        help=f"years covered, both included (default {FIRST_YEAR}-{LAST_YEAR})")
    parser.add_argument("-o", "--output", default=OUTPUT_FILE,
                        help="file to write (default: the sample, california_quakes.txt)")
    return parser.parse_args()


def main():
    options = parse_arguments()
    first_year, last_year = options.years
    rng = random.Random(SEED)
    region = Region(read_outline(OUTLINE_FILE))
    per_day = 24 * 3600 * 100
    begin = (first_year - FIRST_YEAR) * DAYS_PER_YEAR * per_day
    end = (last_year - FIRST_YEAR + 1) * DAYS_PER_YEAR * per_day  # exclusive
    events = []  # (centiseconds, lat, lon, magnitude)

    for _ in range(options.count):
        when = rng.randrange(begin, end)
        lat, lon = background_location(rng, region)
        events.append((when, lat, lon, gutenberg_richter(rng, MIN_MAGNITUDE, 5.5)))

    for year, month, day, lat0, lon0, mag, strike, count in MAINSHOCKS:
        if not region.accepts(lat0, lon0):
            raise SystemExit(f"mainshock {lat0},{lon0} lies outside the outline")
        start = day_index(year, month, day) * per_day + rng.randrange(per_day)
        if not begin <= start < end:
            continue
        events.append((start, lat0, lon0, mag))
        # The largest aftershock stays about 1.2 units below the mainshock.
        largest = mag - 1.2
        for _ in range(count):
            when = start + 1 + int(omori_delay(rng) * per_day)
            if when >= end:
                continue
            lat, lon = aftershock_location(rng, region, lat0, lon0, mag, strike)
            events.append((when, lat, lon,
                           gutenberg_richter(rng, MIN_MAGNITUDE + 0.5, largest)))

    events.sort()
    with open(options.output, "w") as f:
        f.write("year,month,day,time,latitude,longitude,magnitude\n")
        for when, lat, lon, mag in events:
            mag = min(max(round(mag, 1), 0.1), MAX_MAGNITUDE)
            f.write(format_event(when, round(lat, 2), round(lon, 2), mag) + "\n")
    print(f"wrote {len(events)} events to {options.output}")


if __name__ == "__main__":
    main()
