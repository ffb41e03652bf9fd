#!/usr/bin/env python3
"""End-to-end tests of sismap-record's playback page in headless Chromium.

Usage: test_record_html.py PATH_TO_SISMAP_RECORD

The page is opened from disk. Screenshots of its frames (#frame=K&bare) are
compared with the recorder's PNG frames of the same options: every lit
pixel of either must have one of the same colour within one pixel in the
other, outside the legend's red text, whose font differs; the legend's
strings are read from the page. Keys are pressed through the DevTools
protocol, real-time windows and legends are checked against Python's own
calendar, and the page must request nothing but itself.
"""

import bisect
import datetime
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import numpy

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from browser import Browser  # noqa: E402

RECORDER = None  # set from the command line
SOURCE = os.path.dirname(os.path.dirname(HERE))
OUTLINE = os.path.join(SOURCE, "samples", "california.txt")
CATALOGUE = os.path.join(SOURCE, "samples", "california_quakes.txt")
BOX = os.path.join(HERE, "outline.txt")  # latitude 0 to 12, longitude 0 to 16
SIZE = 650


def record(*args):
    run = subprocess.run([RECORDER, "-q"] + list(args), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, timeout=120, env={k: v for k, v in os.environ.items()
                                                                   if k != "DISPLAY"})
    if run.returncode != 0:
        raise AssertionError("sismap-record %s ended with %d: %s" % (" ".join(args), run.returncode,
                                                                     run.stderr.decode(errors="replace")))
    return run


def png_pixels(data_or_path):
    """An image as an array of rows of RGB, through ImageMagick."""
    if isinstance(data_or_path, bytes):
        args, given = ["convert", "png:-", "-depth", "8", "rgb:-"], data_or_path
        size = subprocess.run(["identify", "-format", "%w %h", "png:-"], input=given, stdout=subprocess.PIPE,
                              check=True).stdout.split()
    else:
        args, given = ["convert", data_or_path, "-depth", "8", "rgb:-"], None
        size = subprocess.run(["identify", "-format", "%w %h", data_or_path], stdout=subprocess.PIPE,
                              check=True).stdout.split()
    raw = subprocess.run(args, input=given, stdout=subprocess.PIPE, check=True).stdout
    width, height = int(size[0]), int(size[1])
    return numpy.frombuffer(raw, dtype=numpy.uint8).reshape(height, width, 3).astype(numpy.int16)


def shifted(image, dy, dx):
    """`image` moved by (dy, dx), with black coming in at the edges."""
    out = numpy.zeros_like(image)
    h, w = image.shape[:2]
    out[max(dy, 0):h + min(dy, 0), max(dx, 0):w + min(dx, 0)] = \
        image[max(-dy, 0):h + min(-dy, 0), max(-dx, 0):w + min(-dx, 0)]
    return out


def unmatched(a, b, ignore, tolerance=8):
    """Lit pixels of `a` (outside `ignore`) with no pixel of the same colour
    in `b` within one pixel."""
    found = numpy.zeros(a.shape[:2], dtype=bool)
    for dy in (-1, 0, 1):
        for dx in (-1, 0, 1):
            found |= numpy.all(numpy.abs(a - shifted(b, dy, dx)) <= tolerance, axis=2)
    lit = numpy.any(a > 30, axis=2)
    return lit & ~found & ~ignore


def legend_text_pixels(image):
    """Red text, smoothed or not: red without green or blue (marks that red
    are magnitude 7.6 and above, which the sample does not hold)."""
    return (image[:, :, 0] > 40) & (image[:, :, 1] <= 20) & (image[:, :, 2] <= 20)


def dilated(mask, radius):
    out = mask.copy()
    for dy in range(-radius, radius + 1):
        for dx in range(-radius, radius + 1):
            out |= shifted(mask.astype(numpy.int16)[:, :, None], dy, dx)[:, :, 0].astype(bool)
    return out


class PageTestCase(unittest.TestCase):
    browser = None

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="sismap-page-e2e-")
        cls.browser = Browser()

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        shutil.rmtree(cls.work, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.work, name)

    def state(self):
        return self.browser.evaluate("sismapPlayer.state()")

    def screenshot(self, page, fragment, size=(SIZE, SIZE)):
        self.browser.open(page, fragment)
        return png_pixels(self.browser.screenshot_rgb(*size))

    def assert_same_drawing(self, shot, expected_png, what, rows=None):
        expected = png_pixels(expected_png)
        self.assertEqual(shot.shape, expected.shape, what)
        shot, expected = shot[:rows], expected[:rows]
        ignore = dilated(legend_text_pixels(shot) | legend_text_pixels(expected), 2)
        missing = unmatched(expected, shot, ignore)
        extra = unmatched(shot, expected, ignore)
        lit = int(numpy.any(expected > 30, axis=2).sum())
        self.assertGreater(lit, 500, "%s: the recorder's frame is nearly empty" % what)
        if missing.any() or extra.any():
            keep = os.environ.get("SISMAP_TEST_ARTIFACTS")
            if keep:
                name = what.replace(" ", "_").replace("#", "").replace("&", "_")
                subprocess.run(["convert", "-size", "%dx%d" % (shot.shape[1], shot.shape[0]), "-depth", "8", "rgb:-",
                                os.path.join(keep, name + "-page.png")],
                               input=shot.astype(numpy.uint8).tobytes(), check=True)
                shutil.copy(expected_png, os.path.join(keep, name + "-recorder.png"))
            rows, columns = numpy.nonzero(missing | extra)
            self.fail("%s: %d recorder pixels without a match in the page, %d page pixels without one in the "
                      "recorder's frame (first at column %d, row %d)" % (
                          what, int(missing.sum()), int(extra.sum()), columns[0], rows[0]))

    def check_options(self, name, options, frames, outline=OUTLINE, catalogue=CATALOGUE, size=(SIZE, SIZE)):
        page = self.path(name + ".html")
        folder = self.path(name) + "/"
        os.mkdir(folder)
        record(*options, outline, catalogue, page)
        record(*options, outline, catalogue, folder)
        written = sorted(n for n in os.listdir(folder) if n.endswith(".png"))
        self.browser.open(page)
        count = self.state()["frames"]
        self.assertEqual(count, len(written), "%s: the page's frames against the recorder's" % name)
        for k in frames:
            k = k if k >= 0 else count + k
            shot = self.screenshot(page, "#frame=%d&bare" % k, size)
            self.assertEqual(self.state()["frame"], k)
            self.assert_same_drawing(shot, os.path.join(folder, "frame-%05d.png" % k), "%s frame %d" % (name, k))
        return page


class FramesAgainstRecorderTest(PageTestCase):
    """Marks, outline and legend strip of the page's frames against the
    recorder's PNG frames of the same options."""


    def test_viewer_playback_with_every(self):
        page = self.check_options("every", ["--every", "37"], [0, 9, -1])
        # The start-up view against the recorder's still.
        still = self.path("still.png")
        record(OUTLINE, CATALOGUE, still)
        self.assert_same_drawing(self.screenshot(page, "#bare"), still, "start-up view")
        self.assertEqual(self.state()["mode"], "full")

    def test_threshold_zoom_and_pan_options(self):
        self.check_options("view", ["--min-mag", "4", "--zoom", "1.7", "--pan", "0.8,-1.3", "--every", "90"],
                           [0, 4])

    def test_real_time_frames_with_zoom(self):
        self.check_options("real_time", ["--window", "90d", "--step", "45d", "--zoom", "1.5"], [0, 30, -1])


class MapModeTest(PageTestCase):
    """Map mode's pages: coasts, marks sized in pixels, the colourings, the
    section and the keys band, against the recorder's frames."""

    SIZE = (800, 480)

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # A subduction-like sequence in the test box (latitude 0 to 12,
        # longitude 0 to 16): deeper westward, some without a depth.
        rows = ["year,month,day,time,latitude,longitude,magnitude,depth"]
        for n in range(900):
            lat = 0.5 + (n * 7919 % 1100) / 100.0
            lon = 9.0 + (n * 104729 % 500) / 100.0
            depth = "" if n % 23 == 0 else "%.1f" % max(0.0, (14.0 - lon) * 60.0 + n % 40)
            magnitude = 2.0 + (n * 31 % 50) / 10.0
            day = n // 10
            rows.append("2020,%02d,%02d,%02d%02d00.00,%.2f,%.2f,%.1f,%s" % (
                1 + day // 28, 1 + day % 28, n % 24, n % 60, lat, lon, magnitude, depth))
        cls.catalogue = os.path.join(cls.work, "deep.txt")
        with open(cls.catalogue, "w") as f:
            f.write("\n".join(rows) + "\n")
        # A coast in GMT's text: an island ring and an open shore.
        cls.coast = os.path.join(cls.work, "coast.gmt")
        with open(cls.coast, "w") as f:
            f.write("> island\n" + "".join("%.3f %.3f\n" % (4 + 2 * math.cos(a / 10.0), 6 + 3 * math.sin(a / 10.0))
                                           for a in range(63)))
            f.write("> shore\n" + "".join("%.3f %.3f\n" % (8.0 + 0.4 * math.sin(k), k * 0.25) for k in range(49)))

    def test_depth_coast_and_section_frames(self):
        options = ["--size", "%dx%d" % self.SIZE, "--colour", "depth", "--coast", self.coast, "--section", "6,7,6,15",
                   "--every", "9"]
        page = self.check_options("map_section", options, [0, 5, -1], outline=BOX, catalogue=self.catalogue, size=self.SIZE)
        state = self.state()
        self.assertEqual(state["legend"][0], "Magnitude >= 0")
        # The start-up view of the whole catalogue against the recorder's
        # still, in the map part: the still lays its keys band out for the
        # whole catalogue's dates, a recording for its frames'.
        still = self.path("map_still.png")
        record(*options, BOX, self.catalogue, still)
        self.assert_same_drawing(self.screenshot(page, "#bare", self.SIZE), still, "map start-up view", rows=250)

    def test_a_coast_too_large_to_carry_whole_is_drawn_as_the_recorder_draws_it(self):
        # 300,000 points, many to a pixel: the page carries the vertices the
        # recording's view draws.
        coast = self.path("dense.gmt")
        with open(coast, "w") as f:
            f.write("> dense shore\n")
            for k in range(300000):
                t = k / 300000.0
                f.write("%.6f %.6f\n" % (2 + 12 * t + 0.3 * math.sin(t * 90), 1 + 10 * t + 0.8 * math.sin(t * 40)))
        page = self.check_options("map_dense", ["--size", "640x400", "--coast", coast, "--every", "30"], [0, -1],
                                  outline=BOX, catalogue=self.catalogue, size=(640, 400))
        self.assertLess(os.path.getsize(page), 1500000)

    def test_age_colours_in_real_time_with_the_outline(self):
        self.check_options("map_age", ["--size", "640x400", "--colour", "age", "--window", "20d", "--step", "10d"],
                           [0, 4, -1], outline=BOX, catalogue=self.catalogue, size=(640, 400))

    def test_keys_zoom_and_pan_the_map_as_the_options_do(self):
        options = ["--size", "%dx%d" % self.SIZE, "--colour", "depth", "--coast", self.coast, "--section", "6,7,6,15",
                   "--every", "9"]
        page = self.path("map_keys.html")
        record(*options, BOX, self.catalogue, page)
        b = self.browser
        b.open(page, "#bare")
        start = self.state()
        for key in ["4"] + ["a"] * 30 + ["ArrowLeft"] * 2 + ["ArrowDown"] * 3 + ["g"] * 4:
            b.press(key)
        state = self.state()
        self.assertEqual((state["frame"], state["legend"][0]), (4, "Magnitude >= 4"))
        shot = png_pixels(b.screenshot_rgb(*self.SIZE))
        folder = self.path("map_keys") + "/"
        os.mkdir(folder)
        record(*options, "--min-mag", "4", "--zoom", "%.6g" % state["zoom"], "--pan",
               "%.6g,%.6g" % (state["panX"] - start["panX"], state["panY"] - start["panY"]),
               BOX, self.catalogue, folder)
        self.assert_same_drawing(shot, os.path.join(folder, "frame-00004.png"), "map keys against options")


class KeysTest(PageTestCase):
    """The viewer's keys, pressed through the DevTools protocol."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.page = os.path.join(cls.work, "keys.html")
        record("--every", "40", OUTLINE, CATALOGUE, cls.page)

    def test_window_keys_follow_the_recorders_frames(self):
        b = self.browser
        b.open(self.page)
        start = self.state()
        self.assertEqual(start["mode"], "full")
        # The whole catalogue, but its last entry, under its first and last dates.
        with open(CATALOGUE) as f:
            rows = [line.split(",") for line in f.read().split("\n")[1:] if line.strip()]
        self.assertEqual((start["first"], start["end"]), (0, len(rows) - 1))
        self.assertEqual(start["legend"], ["Magnitude >= 0", "%s/%s/%s - %s/%s/%s" % (tuple(rows[0][:3]) +
                                                                                      tuple(rows[-1][:3]))])
        b.press("g")  # collapses, then steps: frame 1
        self.assertEqual((self.state()["mode"], self.state()["frame"]), ("paused", 1))
        self.assertEqual(b.evaluate("location.hash"), "#frame=1")
        b.press("h")
        b.press("H")  # no step before frame 0, in either case
        self.assertEqual(self.state()["frame"], 0)
        # Frame k of the page is frame 40 k of the viewer's playback: the
        # 30 days from the first entry, moved on by the day step each time.
        step = viewer_step_days(rows[0], rows[-1])
        for _ in range(3):
            b.press("G")
        legend = self.state()["legend"]
        first = calendar_date(calendar_day(rows[0]) + 120 * step)
        last = calendar_date(calendar_day(rows[0]) + 120 * step + 30)
        self.assertEqual(legend, ["Magnitude >= 0", "%04d/%02d/%02d - %04d/%02d/%02d" % (first + last)])
        b.press("o")
        self.assertEqual(self.state()["mode"], "full")
        self.assertEqual(b.evaluate("location.hash"), "")

    def test_threshold_zoom_and_arrows_draw_as_the_options_do(self):
        b = self.browser
        b.open(self.page, "#bare")
        for key in "25" + "a" * 20 + "zz" + "4":  # '2' does nothing; '4' after '5' wins
            b.press(key)
        for key in ["ArrowLeft"] * 3 + ["ArrowUp"] * 2 + ["ArrowRight"]:
            b.press(key)
        for _ in range(3):
            b.press("g")
        state = self.state()
        self.assertEqual(state["legend"][0], "Magnitude >= 4")
        self.assertAlmostEqual(state["zoom"], 1.18, places=4)
        self.assertAlmostEqual(state["panX"], 0.2, places=5)
        self.assertAlmostEqual(state["panY"], 0.4, places=5)
        shot = png_pixels(b.screenshot_rgb(SIZE, SIZE))
        folder = self.path("zoomed") + "/"
        os.mkdir(folder)
        record("--every", "40", "--min-mag", "4", "--zoom", "1.18", "--pan", "0.2,-0.2", OUTLINE, CATALOGUE, folder)
        self.assert_same_drawing(shot, os.path.join(folder, "frame-00003.png"), "keys against options")

    def test_playing_updates_the_address_and_stops_at_the_end(self):
        b = self.browser
        b.open(self.page, "#frame=15&bare")
        self.assertEqual(self.state()["mode"], "paused")
        last = self.state()["frames"] - 1
        b.press("p")
        self.assertEqual(self.state()["mode"], "playing")
        deadline = time.monotonic() + 10
        while self.state()["mode"] == "playing" and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual((self.state()["mode"], self.state()["frame"]), ("paused", last))
        self.assertEqual(b.evaluate("location.hash"), "#frame=%d&bare" % last)
        # The bare page: the canvas alone, in the top-left corner.
        box = b.evaluate("(() => { const r = document.getElementById('map').getBoundingClientRect(); "
                         "return [r.x, r.y, r.width, r.height, document.getElementById('side').offsetHeight]; })()")
        self.assertEqual(box, [0, 0, SIZE, SIZE, 0])

    def test_buttons_slider_and_menu(self):
        b = self.browser
        b.open(self.page)
        b.evaluate("document.getElementById('forward').click()")
        self.assertEqual(self.state()["frame"], 1)
        b.evaluate("(() => { const s = document.getElementById('slider'); s.value = '12'; "
                   "s.dispatchEvent(new Event('input')); })()")
        self.assertEqual((self.state()["mode"], self.state()["frame"]), ("paused", 12))
        b.evaluate("(() => { const m = document.getElementById('threshold'); m.value = '6'; "
                   "m.dispatchEvent(new Event('change')); })()")
        self.assertEqual(self.state()["legend"][0], "Magnitude >= 6")
        self.assertEqual(b.evaluate("document.getElementById('dates').textContent"), self.state()["legend"][1])
        b.evaluate("document.getElementById('back').click()")
        self.assertEqual(self.state()["frame"], 11)


class RealTimeAndNetworkTest(PageTestCase):

    def test_real_time_windows_and_legends_follow_the_calendar(self):
        page = self.path("week.html")
        record("--window", "7d", "--step", "3d", OUTLINE, CATALOGUE, page)
        utc = datetime.timezone.utc
        with open(CATALOGUE) as f:
            times = sorted(datetime.datetime.strptime("%s %s %s %s" % tuple(line.split(",")[:4]), "%Y %m %d %H%M%S.%f")
                           .replace(tzinfo=utc) for line in f.read().split("\n")[1:] if line.strip())
        t0 = times[0].replace(hour=0, minute=0, second=0, microsecond=0)
        step, window = datetime.timedelta(days=3), datetime.timedelta(days=7)
        self.browser.open(page)
        count = self.state()["frames"]
        self.assertGreater(count, 900)
        for k in [0, 1, 2, 57, 400, count - 2, count - 1]:
            self.browser.evaluate("new Promise(done => { addEventListener('hashchange', () => setTimeout(done, 0), "
                                  "{once: true}); location.hash = '#frame=%d'; })" % k)
            state = self.state()
            start = t0 + k * step
            last = start + window - datetime.timedelta(days=1)
            # The recorder shortens the end to what differs from the start
            # when the whole legend would not fit in the frame.
            end = last.strftime("%m/%d" if last.year == start.year else "%Y/%m/%d")
            self.assertIn(state["legend"][1], ["%s - %s" % (start.strftime("%Y/%m/%d"), last.strftime("%Y/%m/%d")),
                                               "%s - %s" % (start.strftime("%Y/%m/%d"), end)], "frame %d" % k)
            self.assertEqual((state["first"], state["end"]),
                             (bisect.bisect_left(times, start), bisect.bisect_left(times, start + window)),
                             "frame %d" % k)
        self.assertGreaterEqual(t0 + (count - 1) * step + window, times[-1])
        self.assertLess(t0 + (count - 2) * step + window, times[-1])

    def test_the_page_requests_nothing(self):
        # Nor does map mode, whose image of the keys band is decoded from
        # the page's own bytes.
        for name, options in [("quiet", []), ("quiet_map", ["--size", "640x400", "--colour", "age"])]:
            page = self.path(name + ".html")
            record(*options, OUTLINE, CATALOGUE, page)
            b = Browser()
            try:
                url = b.open(page)
                b.press("p")
                time.sleep(0.3)
                b.press("a")
                b.evaluate("document.getElementById('forward').click()")
                self.assertEqual(set(b.requested_urls()), {url.split("#")[0]}, name)
            finally:
                b.close()


def calendar_day(row):
    """Day number of a catalogue row's date on the viewer's 365-day calendar."""
    year, month, day = int(row[0]), int(row[1]), int(row[2])
    return year * 365 + sum(MONTHS[:month - 1]) + day - 1


def calendar_date(number):
    year, rest = divmod(number, 365)
    month = 0
    while rest >= MONTHS[month]:
        rest -= MONTHS[month]
        month += 1
    return year, month + 1, rest + 1


def viewer_step_days(first_row, last_row):
    return max(1, (calendar_day(last_row) - calendar_day(first_row)) // 1200 * 2)


MONTHS = [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]


if __name__ == "__main__":
    RECORDER = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
