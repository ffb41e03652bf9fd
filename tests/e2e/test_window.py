#!/usr/bin/env python3
"""End-to-end tests of the real sismap window under a private Xvfb server.

Usage: test_window.py PATH_TO_SISMAP

The fixture (outline.txt, catalogue.txt next to this file) is a 16 x 12
rectangle, x 0..16 and y 0..12, so the camera looks down at (8, 6). Its marks:

  A (3, 9)     magnitude 8, red:    every 8 days, 2001/01/01 .. 2001/08/29
  C (12, 3.5)  magnitude 8, red:    every 8 days, 2001/11/01 .. 2002/03/25
  B (13, 9)    magnitude 3, yellow: 2003/06/10
  D (4, 3)     magnitude 7, red with a little green: 2005/03/20
  E (8, 10)    magnitude 8, the catalogue's last entry, 2008/01/01

The catalogue spans 2555 days, so one play step moves the window 4 days:
after p the 30-day window shows A alone for 61 steps (about 3 s), then
nothing, then C alone from step 69 to step 112 (about 3.5 s to 5.6 s).
"""

import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402
from harness import BLACK, RED, WHITE, Camera, Viewer, mark_colour, same_colour  # noqa: E402

BINARY = None  # set from the command line

OUTLINE = os.path.join(HERE, "outline.txt")
CATALOGUE = os.path.join(HERE, "catalogue.txt")
CAMERA = Camera(min_x=0, min_y=0, max_x=16, max_y=12)
START_PAN = (0.0, 0.6)

MARK_A = (3.0, 9.0, 8.0)
MARK_B = (13.0, 9.0, 3.0)
MARK_C = (12.0, 3.5, 8.0)
MARK_D = (4.0, 3.0, 7.0)
MARK_E = (8.0, 10.0, 8.0)
# Map points where nothing is drawn: the centre, inside the outline away from
# every mark, and outside the outline on both sides.
EMPTY_POINTS = [(8.0, 6.0), (6.0, 8.0), (-2.0, 6.0), (18.0, 6.0)]

# The legend strip in window pixels (it does not zoom or pan), a pixel inside
# its edges: the magnitude text on its left, the date range from x = 8 on.
LEGEND = CAMERA.plane_area(-0.1, -0.2, 15.9, 0.5, shrink=1)
DATES_LEFT = int(CAMERA.plane_to_pixel(8.0, 0.0)[0]) - 8
MAGNITUDE_AREA = (LEGEND[0], LEGEND[1], DATES_LEFT - 1, LEGEND[3])
DATES_AREA = (DATES_LEFT, LEGEND[1], LEGEND[2], LEGEND[3])

MARK_RADIUS = 2    # half-side of the square sampled around a mark's centre
CLEAR_RADIUS = 7   # half-side of a square that a magnitude-8 mark would reach into


def mark_problem(frame, mark, zoom=1.0, pan=START_PAN):
    """None if a mark of the right colour crosses at the predicted pixel."""
    x, y, magnitude = mark
    col, row = (int(v) for v in CAMERA.map_to_pixel(x, y, zoom, pan))
    colour = mark_colour(magnitude)
    pixels = frame.box(col, row, MARK_RADIUS)
    hits = sum(1 for p in pixels if same_colour(p, colour))
    strays = {p for p in pixels if not same_colour(p, colour) and not same_colour(p, BLACK)}
    # The two bars cross the square: at least 5 pixels, or 3 for a mark whose
    # arms are under 2 pixels long (half-size magnitude x 0.025, zoomed).
    arm = magnitude * 0.025 * zoom * CAMERA.size / (2 * CAMERA.half_width)
    if hits < (5 if arm >= 2 else 3) or strays:
        return ("mark (%g, %g) of magnitude %g: expected %s around pixel (%d, %d), found %d such "
                "pixels and other colours %s" % (x, y, magnitude, colour, col, row, hits, sorted(strays)))
    return None


def empty_problem(frame, point, zoom=1.0, pan=START_PAN):
    """None if the square around the pixel of a map point is all black."""
    col, row = (int(v) for v in CAMERA.map_to_pixel(point[0], point[1], zoom, pan))
    lit = {p for p in frame.box(col, row, CLEAR_RADIUS) if not same_colour(p, BLACK)}
    if lit:
        return "expected black around pixel (%d, %d) for (%g, %g), found %s" % (
            col, row, point[0], point[1], sorted(lit))
    return None


def outline_problem(frame, zoom=1.0, pan=START_PAN):
    """None if the outline's four edges are white where the camera puts them
    (sampled at a quarter, half and three quarters of each edge, across a
    5-pixel strip; parts outside the window are skipped)."""
    corners = [(0, 0), (16, 0), (16, 12), (0, 12)]
    for i, (x0, y0) in enumerate(corners):
        x1, y1 = corners[(i + 1) % 4]
        for t in (0.25, 0.5, 0.75):
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            col, row = (int(v) for v in CAMERA.map_to_pixel(x, y, zoom, pan))
            if y0 == y1:
                strip = [frame.pixel(col, r) for r in range(row - 2, row + 3)]
            else:
                strip = [frame.pixel(c, row) for c in range(col - 2, col + 3)]
            if any(p is None for p in strip):
                continue
            whites = sum(1 for p in strip if same_colour(p, WHITE))
            strays = {p for p in strip if not same_colour(p, WHITE) and not same_colour(p, BLACK)}
            if whites == 0 or strays:
                return "outline edge at (%g, %g): expected white near pixel (%d, %d), found %s" % (
                    x, y, col, row, strip)
    return None


def legend_problem(frame):
    """None if both legend texts show in red, and only red, on black."""
    for name, area in (("magnitude text", MAGNITUDE_AREA), ("date range", DATES_AREA)):
        pixels = frame.area(*area)
        reds = sum(1 for p in pixels if same_colour(p, RED))
        strays = {p for p in pixels if not same_colour(p, RED) and not same_colour(p, BLACK)}
        if reds < 30 or strays:
            return "legend %s in %s: %d red pixels, other colours %s" % (
                name, area, reds, sorted(strays)[:5])
    return None


def first_problem(*problems):
    return next((p for p in problems if p is not None), None)


def full_view_problem(frame, zoom=1.0, pan=START_PAN):
    """The whole catalogue but its last entry, as at start-up."""
    return first_problem(
        outline_problem(frame, zoom, pan),
        *(mark_problem(frame, m, zoom, pan) for m in (MARK_A, MARK_B, MARK_C, MARK_D)),
        empty_problem(frame, MARK_E, zoom, pan),
        *(empty_problem(frame, p, zoom, pan) for p in EMPTY_POINTS),
        legend_problem(frame))


def area_changed(frame, before, area, what):
    """None if the area's pixels differ from those of an earlier frame."""
    if frame.crop(*area) == before.crop(*area):
        return "%s in %s still as before" % (what, area)
    return None


def area_unchanged(frame, before, area, what):
    if frame.crop(*area) != before.crop(*area):
        return "%s in %s changed" % (what, area)
    return None


class WindowTest(harness.SharedDisplayTestCase):
    """Each test starts the viewer on the fixture and waits for the start-up
    frame; the X server is shared by the class."""

    def setUp(self):
        self.viewer = Viewer(BINARY, [OUTLINE, CATALOGUE], self.display)
        self.viewer.start()
        self.addCleanup(self.viewer.stop)
        self.viewer.wait_for_window(timeout=30)

    def wait(self, check, what, timeout=10):
        return self.viewer.wait_for_frame(check, timeout=timeout, what=what)

    def start_up_frame(self):
        return self.wait(full_view_problem, "start-up frame", timeout=15)

    def test_start_up_frame(self):
        # White outline, the four marks of all entries but the last (red, red,
        # yellow, red-orange), nothing at the last entry or in empty places,
        # the red legend on the left and right of its strip.
        self.start_up_frame()
        self.assertIsNone(self.viewer.process.poll(), "viewer ended")

    def test_threshold_keys_hide_and_show_small_marks(self):
        before = self.start_up_frame()
        self.viewer.keys("7")
        self.wait(lambda f: first_problem(
            empty_problem(f, MARK_B),
            *(mark_problem(f, m) for m in (MARK_A, MARK_C, MARK_D)),  # 7 itself stays
            outline_problem(f),
            legend_problem(f),
            area_changed(f, before, MAGNITUDE_AREA, "magnitude text"),
            area_unchanged(f, before, DATES_AREA, "date range")), "7 hides the magnitude-3 mark")
        self.viewer.keys("0")
        self.wait(lambda f: first_problem(
            full_view_problem(f),
            area_unchanged(f, before, LEGEND, "legend")), "0 shows every mark again")

    def test_zoom_keys_scale_about_the_centre(self):
        before = self.start_up_frame()
        self.viewer.keys(*["a"] * 50)  # zoom 1.5
        self.wait(lambda f: first_problem(
            *(mark_problem(f, m, zoom=1.5) for m in (MARK_A, MARK_B, MARK_C, MARK_D)),
            empty_problem(f, MARK_A),  # where A was at zoom 1
            empty_problem(f, (8.0, 6.0), zoom=1.5),
            outline_problem(f, zoom=1.5),
            area_unchanged(f, before, LEGEND, "legend")), "a x50 zooms to 1.5")
        self.viewer.keys(*["z"] * 100)  # zoom 0.5
        self.wait(lambda f: first_problem(
            *(mark_problem(f, m, zoom=0.5) for m in (MARK_A, MARK_B, MARK_C, MARK_D)),
            empty_problem(f, MARK_A),
            outline_problem(f, zoom=0.5),
            area_unchanged(f, before, LEGEND, "legend")), "z x100 zooms to 0.5")
        self.viewer.keys(*["a"] * 50)
        self.wait(lambda f: first_problem(
            full_view_problem(f),
            area_unchanged(f, before, LEGEND, "legend")), "a x50 zooms back to 1")

    def test_arrow_keys_pan_the_map_but_not_the_legend(self):
        before = self.start_up_frame()
        moved = (1.0, 1.1)  # left adds 0.1 to the x shift, down 0.1 to the y shift
        self.viewer.keys(*["Left"] * 10, *["Down"] * 5)
        self.wait(lambda f: first_problem(
            *(mark_problem(f, m, pan=moved) for m in (MARK_A, MARK_B, MARK_C, MARK_D)),
            empty_problem(f, MARK_A),
            outline_problem(f, pan=moved),
            area_unchanged(f, before, LEGEND, "legend")), "left x10, down x5 shift the map")
        self.viewer.keys(*["Right"] * 10, *["Up"] * 5)
        self.wait(lambda f: first_problem(
            full_view_problem(f),
            area_unchanged(f, before, LEGEND, "legend")), "right x10, up x5 shift it back")

    def test_play_moves_the_window_and_o_restores_the_whole_catalogue(self):
        before = self.start_up_frame()
        self.viewer.keys("p")
        # The first 30 days and the steps after them: only A's entries. A
        # lasts about 3 s of play, so this wait must be shorter.
        early = self.wait(lambda f: first_problem(
            mark_problem(f, MARK_A),
            *(empty_problem(f, m) for m in (MARK_B, MARK_C, MARK_D, MARK_E)),
            outline_problem(f),
            legend_problem(f),
            area_changed(f, before, DATES_AREA, "date range"),
            area_unchanged(f, before, MAGNITUDE_AREA, "magnitude text")),
            "p: the first weeks show A only", timeout=2.5)
        # Later in the year only C's entries fall in the window.
        self.wait(lambda f: first_problem(
            mark_problem(f, MARK_C),
            *(empty_problem(f, m) for m in (MARK_A, MARK_B, MARK_D, MARK_E)),
            outline_problem(f),
            legend_problem(f),
            area_changed(f, early, DATES_AREA, "date range")),
            "play: months later C shows and A is gone", timeout=8.0)
        self.viewer.keys("o")
        self.wait(lambda f: first_problem(
            full_view_problem(f),
            area_unchanged(f, before, LEGEND, "legend")), "o: the whole catalogue again")

    def test_escape_ends_with_status_0(self):
        self.viewer.keys("p")  # Escape ends the viewer also while it plays
        subprocess.run(["xdotool", "key", "--window", self.viewer.window, "Escape"],
                       env=self.viewer.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=10)
        self.assertEqual(self.viewer.wait_exit(timeout=10), 0)
        self.assertIn("Exiting...\n", self.viewer.output())


class FailedStartTest(unittest.TestCase):
    def test_missing_display_is_explained(self):
        name = harness.free_display_name()
        env = dict(os.environ, DISPLAY=name)
        run = subprocess.run([BINARY, OUTLINE, CATALOGUE], env=env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        out = run.stdout.decode(errors="replace")
        self.assertEqual(run.returncode, 255, out + run.stderr.decode(errors="replace"))
        self.assertIn('Cannot open the X display "%s"' % name, out)
        self.assertIn("xvfb-run", out)
        self.assertNotIn("Exiting", out)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: test_window.py PATH_TO_SISMAP")
    BINARY = os.path.abspath(sys.argv[1])
    harness.install_signal_cleanup()
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[2:])
