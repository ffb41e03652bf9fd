#!/usr/bin/python3
"""The recorder's playback page at a million events, in headless Chromium,
against the MP4 of the same playback.

Usage: /usr/bin/python3 bench/bench_html.py SISMAP_RECORD [REPETITIONS] [WORK_DIR]

A generated catalogue in the viewer's layout: 1,000,000 events over 20
years, in time order, over the California sample's outline, magnitudes in
hundredths (two bytes each in the page, the dearer case) from a
Gutenberg-Richter law above 1.0. Measured, as medians:
  - the page's size (target at most 16 MB) and bytes per event, also in real
    time (--window/--step), and the time sismap-record takes to write it;
  - the time from asking Chromium to open the page to its first frame on
    screen (target at most 3 s), from the page's own clock, which starts
    with the navigation;
  - the time to draw one frame of a 30-day window (target at most 50 ms),
    and, for scale, the start-up view of all events;
  - the MP4 of the same playback: its size and the time to encode it;
  - the same for map mode (--size 1280x720, coloured by depth, GMT's
    coast when gmt is installed, a depth section), whose page also carries
    each event's depth class and place in the section.
"""

import math
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))

from browser import Browser  # noqa: E402

EVENTS = 1_000_000
YEARS = 20
OUTLINE = os.path.join(SOURCE, "samples", "california.txt")
DAYS_IN_MONTH = [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]


def write_catalogue(path):
    rng = random.Random(31)
    days = sorted(rng.randrange(YEARS * 365) for _ in range(EVENTS))
    with open(path, "w") as f:
        f.write("year,month,day,time,latitude,longitude,magnitude,depth\n")
        for day in days:
            year, rest = divmod(day, 365)
            month = 0
            while rest >= DAYS_IN_MONTH[month]:
                rest -= DAYS_IN_MONTH[month]
                month += 1
            magnitude = 1.0 - math.log10(1.0 - rng.random())
            f.write("%d,%02d,%02d,%02d%02d%02d.%02d,%.4f,%.4f,%.2f,%.1f\n" % (
                2000 + year, month + 1, rest + 1, rng.randrange(24), rng.randrange(60), rng.randrange(60),
                rng.randrange(100), rng.uniform(32.5, 42.0), rng.uniform(-124.0, -114.5), min(magnitude, 9.0),
                rng.expovariate(1 / 12.0)))


def timed(args):
    started = time.monotonic()
    subprocess.run(args, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    return time.monotonic() - started


def measure_page(browser, page, repetitions):
    """First-frame times, 30-day frame draws and the start-up view's draws,
    with the state at frame 300."""
    first_frames, opens = [], []
    for _ in range(repetitions):
        started = time.monotonic()
        browser.open(page, "#frame=300")
        opens.append(time.monotonic() - started)
        first_frames.append(browser.evaluate("sismapPlayer.firstDrawnAt()") / 1000.0)
    state = browser.evaluate("sismapPlayer.state()")
    window_draws = [browser.evaluate("sismapPlayer.redraw()") for _ in range(10 * repetitions)]
    browser.press("o")
    full_draws = [browser.evaluate("sismapPlayer.redraw()") for _ in range(repetitions)]
    return first_frames, opens, window_draws, full_draws, state


def map_options(work):
    """Map mode as a talk would show it: 1280x720, depth colours, the
    coast, a section across the Coast Ranges and the Sierra."""
    options = ["--size", "1280x720", "--colour", "depth", "--section", "36,-123,38,-116"]
    if shutil.which("gmt"):
        coast = os.path.join(work, "coast.gmt")
        with open(coast, "w") as f:
            subprocess.run(["gmt", "coast", "-R-125/-113/32/43", "-W", "-M", "-Di"], check=True, stdout=f,
                           stderr=subprocess.DEVNULL, cwd=work)
        options += ["--coast", coast]
    return options


def main():
    recorder = os.path.abspath(sys.argv[1])
    repetitions = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    work = sys.argv[3] if len(sys.argv) > 3 else tempfile.mkdtemp(prefix="sismap-bench-html-")
    try:
        catalogue = os.path.join(work, "million.txt")
        write_catalogue(catalogue)
        page = os.path.join(work, "million.html")
        video = os.path.join(work, "million.mp4")
        write_times = [timed([recorder, "-q", OUTLINE, catalogue, page]) for _ in range(repetitions)]
        page_size = os.path.getsize(page)
        # In real time the keys are seconds, dearer than dates.
        real_time_page = os.path.join(work, "million-real-time.html")
        timed([recorder, "-q", "--window", "30d", "--step", "12d", OUTLINE, catalogue, real_time_page])
        real_time_size = os.path.getsize(real_time_page)
        mp4_times = [timed([recorder, "-q", OUTLINE, catalogue, video]) for _ in range(max(1, repetitions // 2))]
        mp4_size = os.path.getsize(video)

        mapped = map_options(work)
        map_page = os.path.join(work, "million-map.html")
        map_video = os.path.join(work, "million-map.mp4")
        map_write_times = [timed([recorder, "-q"] + mapped + [OUTLINE, catalogue, map_page])
                           for _ in range(max(1, repetitions // 2))]
        map_size = os.path.getsize(map_page)
        map_mp4_times = [timed([recorder, "-q"] + mapped + [OUTLINE, catalogue, map_video])
                         for _ in range(max(1, repetitions // 2))]
        map_mp4_size = os.path.getsize(map_video)

        with Browser(width=1400, height=1100) as browser:
            first_frames, opens, window_draws, full_draws, state = measure_page(browser, page, repetitions)
            map_first, map_opens, map_window, map_full, map_state = measure_page(browser, map_page, repetitions)
        frames = state["frames"]

        def report(size, writes, first, opened, window, full, video_size, video_times):
            print("  size                  %8.1f MB  (%.1f bytes an event)   target <= 16 MB" % (
                size / 1e6, size / EVENTS))
            print("  written in            %8.2f s" % statistics.median(writes))
            print("  first frame after     %8.2f s  (load event %.2f s)      target <= 3 s" % (
                statistics.median(first), statistics.median(opened)))
            print("  30-day window frame   %8.1f ms                          target <= 50 ms" %
                  statistics.median(window))
            print("  start-up view (all)   %8.1f ms" % statistics.median(full))
            print("  MP4 of the same playback: %.1f MB, encoded in %.2f s" % (
                video_size / 1e6, statistics.median(video_times)))

        print("Page of %d events, %d frames (a 30-day window holds %d events, frame 300: %s)" % (
            EVENTS, frames, state["end"] - state["first"], state["legend"][1]))
        report(page_size, write_times, first_frames, opens, window_draws, full_draws, mp4_size, mp4_times)
        print("  in real time          %8.1f MB  (%.1f bytes an event, --window 30d --step 12d)" % (
            real_time_size / 1e6, real_time_size / EVENTS))
        print("Map mode: %s" % " ".join(os.path.basename(a) for a in mapped))
        report(map_size, map_write_times, map_first, map_opens, map_window, map_full, map_mp4_size, map_mp4_times)
    finally:
        if len(sys.argv) <= 3:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
