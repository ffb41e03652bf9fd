#!/usr/bin/env python3
"""The real sismap binary on hostile input files, under a private Xvfb.

Usage: test_malformed.py PATH_TO_SISMAP

Every case names a landscape file, an earthquake file and the outcome it must
end in: either the window (mapped within a bounded wait, a first frame with
what the files allow to be seen, a round of keys and a moment of play, then
Escape with status 0 and "Exiting..."), or one of the start-up failures (the
exact console text and status 255, nothing on standard error). A crash, a
hang or a sanitizer report fails the case: sanitizers end the process with a
non-zero status and write to standard error.

The files live in tests/malformed/; the 1 MB single-line files are written
at test time into a temporary directory. A second group checks that a run
of the viewer leaves its input files and their directory exactly as they were.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402
from harness import BLACK, RED, WHITE, Viewer, same_colour  # noqa: E402

BINARY = None  # set from the command line
CORPUS = os.path.join(os.path.dirname(HERE), "malformed")
ONE_MB = 1 << 20

# Bounded waits; the sanitizer build starts and draws more slowly.
WINDOW_TIMEOUT = 60.0
FRAME_TIMEOUT = 15.0
EXIT_TIMEOUT = 30.0
FAIL_TIMEOUT = 60.0
PLAY_SECONDS = 1.5

# Keys pressed in every window case, each of them handled by the viewer:
# play, step forward and back (both pause), full view, zoom in and out,
# threshold 5, the four arrows; then threshold 0 again and play.
ROUND_OF_KEYS = ["p", "g", "h", "o", "a", "z", "5", "Left", "Right", "Up", "Down", "0", "p"]

# Texts that only a sanitizer or the C++ runtime writes.
FAULT_MARKERS = ("AddressSanitizer", "LeakSanitizer", "runtime error:", "terminate called", "Segmentation")


def corpus(name):
    return os.path.join(CORPUS, name)


GOOD_OUTLINE = corpus("good_outline.txt")        # y 32..42, x -125..-114
GOOD_CATALOGUE = corpus("good_catalogue.txt")    # magnitudes 5, 6, 7 inside it


# --- frame checks -----------------------------------------------------------

def count(frame, test):
    return sum(1 for i in range(0, len(frame.rgb), 3) if test(frame.rgb[i:i + 3]))


def is_white(p):
    return same_colour(p, WHITE)


def is_red(p):
    return same_colour(p, RED)


def is_mark_colour(p):
    """Orange to yellow, the colour of a mark below magnitude 8 (red with some
    green); pure red is left out because the legend is red too."""
    return p[0] >= 250 and p[2] <= 5 and 10 <= p[1] <= 250


def frame_problem(frame, expect):
    """None if the frame shows what `expect` asks for:
    outline    - white outline pixels (at least 40);
    no_outline - not one white pixel;
    legend     - red legend text (at least 30 pixels);
    marks      - orange or yellow mark pixels (at least 5);
    black      - nothing at all drawn in the window."""
    whites = count(frame, is_white)
    reds = count(frame, is_red)
    marks = count(frame, is_mark_colour)
    lit = count(frame, lambda p: not same_colour(p, BLACK))
    wanted = {"outline": whites >= 40, "no_outline": whites == 0, "legend": reds >= 30,
              "marks": marks >= 5, "black": lit == 0}
    missing = [name for name in expect if not wanted[name]]
    if missing:
        return "expected %s; found %d white, %d red, %d mark-coloured, %d lit pixels" % (
            ", ".join(missing), whites, reds, marks, lit)
    return None


def press_escape(viewer):
    """Escape ends the viewer, often before xdotool has sent the key release
    to the window, so xdotool's status says nothing here."""
    subprocess.run(["xdotool", "key", "--window", viewer.window, "Escape"], env=viewer.env,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=10)


def fault_in(text):
    return next((m for m in FAULT_MARKERS if m in text), None)


# --- the cases ----------------------------------------------------------------
# A window case: (name, landscape, earthquakes, "window", what its first frame
# shows). A failing case: (name, landscape, earthquakes, "fail", which message).
# Paths starting with "@" are made at test time (see MalformedTest.setUpClass).

WINDOW_CASES = [
    # Garbage as the outline: the pieces with two fields are vertices, read
    # as 0 unless digits lead (a short line from 0 to 8); legend at (0, 0).
    ("binary_garbage_outline", corpus("binary_garbage.bin"), GOOD_CATALOGUE, ["outline", "legend"]),
    # A NUL ends a line's text: the line cut short has too few fields and is
    # skipped; the two whole lines load.
    ("nul_bytes_catalogue", GOOD_OUTLINE, corpus("nul_bytes.txt"), ["outline", "legend", "marks"]),
    # One 1 MB line without a line feed, read 99 characters at a time: every
    # piece with seven fields and a positive magnitude is an entry.
    ("one_mb_line_catalogue", GOOD_OUTLINE, "@one_mb_catalogue", ["outline", "legend"]),
    ("one_mb_line_outline", "@one_mb_outline", GOOD_CATALOGUE, ["outline"]),
    # A carriage return ends the last number and changes nothing.
    ("crlf_catalogue", GOOD_OUTLINE, corpus("crlf.txt"), ["outline", "legend", "marks"]),
    ("crlf_outline", corpus("crlf_outline.txt"), GOOD_CATALOGUE, ["outline", "legend", "marks"]),
    # Runs of commas hold no field: no vertex at all, default bounds as for
    # an empty outline.
    ("only_commas_outline", corpus("only_commas.txt"), GOOD_CATALOGUE, ["black"]),
    # Fields beyond the seventh are ignored.
    ("twenty_fields_catalogue", GOOD_OUTLINE, corpus("twenty_fields.txt"), ["outline", "legend", "marks"]),
    # Past 32 bits: atoi's low 32 bits of strtol's saturated value; 1e308 as
    # a float coordinate is infinite. Two entries still sit inside the outline.
    ("huge_numbers_catalogue", GOOD_OUTLINE, corpus("huge_numbers.txt"), ["outline", "legend", "marks"]),
    # Vertices a billion units apart: outline, marks and legend all lie far
    # outside the view of the bounds' centre.
    ("huge_numbers_outline", corpus("huge_outline.txt"), GOOD_CATALOGUE, ["black"]),
    # Months 0, 13, -5, days 0 and 99, year 99999: stored as read, clamped by
    # the calendar when the window steps; the legend text is cut to fit.
    ("bad_dates_catalogue", GOOD_OUTLINE, corpus("bad_dates.txt"), ["outline", "legend", "marks"]),
    # inf and 1e39 (infinite as a float) are kept, nan and -inf dropped; an
    # infinite mark has infinite arms, which the graphics library drops.
    ("bad_magnitudes_catalogue", GOOD_OUTLINE, corpus("bad_magnitudes.txt"), ["outline", "legend"]),
    ("unsorted_catalogue", GOOD_OUTLINE, corpus("unsorted.txt"), ["outline", "legend", "marks"]),
    # One vertex: bounds and centre on it, the legend starts at the centre.
    ("one_vertex_outline", corpus("one_vertex.txt"), GOOD_CATALOGUE, ["legend", "marks"]),
    # An empty outline leaves the default bounds (0, 0, 99999, 99999): a
    # window with nothing in it, the marks and legend far outside the view.
    ("empty_outline", corpus("empty.txt"), GOOD_CATALOGUE, ["black"]),
    ("good_files", GOOD_OUTLINE, GOOD_CATALOGUE, ["outline", "legend", "marks"]),
]

LANDSCAPE_FAILS = "landscape"
QUAKES_FAIL = "earthquake"
BOTH_FAIL = "both"
NO_ENTRIES = "no entries"

FAIL_CASES = [
    # No piece of the garbage has seven fields with a positive magnitude.
    ("binary_garbage_catalogue", GOOD_OUTLINE, corpus("binary_garbage.bin"), NO_ENTRIES),
    ("only_commas_catalogue", GOOD_OUTLINE, corpus("only_commas.txt"), NO_ENTRIES),
    ("one_mb_line_without_commas", GOOD_OUTLINE, "@one_mb_digits", NO_ENTRIES),
    ("empty_catalogue", GOOD_OUTLINE, corpus("empty.txt"), NO_ENTRIES),
    ("header_only_catalogue", GOOD_OUTLINE, corpus("header_only.txt"), NO_ENTRIES),
    ("directory_as_landscape", "@directory", GOOD_CATALOGUE, LANDSCAPE_FAILS),
    ("directory_as_catalogue", GOOD_OUTLINE, "@directory", QUAKES_FAIL),
    ("directory_as_both", "@directory", "@directory", BOTH_FAIL),
    ("missing_landscape", "@missing", GOOD_CATALOGUE, LANDSCAPE_FAILS),
    ("missing_catalogue", GOOD_OUTLINE, "@missing", QUAKES_FAIL),
]


def expected_failure_output(landscape, quakes, outcome):
    text = "Trying to open landscape file: %s\nTrying to open earthquake file: %s\n\n" % (landscape, quakes)
    if outcome in (LANDSCAPE_FAILS, BOTH_FAIL):
        text += 'Could not open the landscape file named "%s"\n\n' % landscape
    if outcome in (QUAKES_FAIL, BOTH_FAIL):
        text += 'Could not open the earthquake data file named "%s"\n\n' % quakes
    if outcome == NO_ENTRIES:
        text += 'No earthquake entries in the file named "%s"\n\n' % quakes
    return text


def run_to_failure(testcase, argv, landscape, quakes, outcome, env, cwd=None):
    """Runs a start that must fail and checks its whole output and status."""
    run = subprocess.run(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, timeout=FAIL_TIMEOUT)
    out = run.stdout.decode(errors="replace")
    err = run.stderr.decode(errors="replace")
    testcase.assertEqual(run.returncode, 255, "status; output:\n%s%s" % (out, err))
    testcase.assertEqual(out, expected_failure_output(landscape, quakes, outcome))
    testcase.assertEqual(err, "")


def write_generated_files(directory):
    """The files named "@..." in the cases, written into `directory`."""
    record = b"2001,01,01,000000.00,35.0,-120.0,5.0,"
    paths = {}

    def write(name, data):
        path = os.path.join(directory, name + ".txt")
        with open(path, "wb") as f:
            f.write(data)
        paths["@" + name] = path

    # A single line of 1 MB, no line feed anywhere.
    write("one_mb_catalogue", (record * (ONE_MB // len(record) + 1))[:ONE_MB])
    write("one_mb_outline", (b"37,-120," * (ONE_MB // 8 + 1))[:ONE_MB])
    write("one_mb_digits", b"year,month,day,time,latitude,longitude,magnitude\n" + b"7" * ONE_MB + b"\n")
    subdir = os.path.join(directory, "a_directory")
    os.mkdir(subdir)
    paths["@directory"] = subdir
    paths["@missing"] = os.path.join(directory, "no_such_file.txt")
    return paths


class MalformedTest(harness.SharedDisplayTestCase):
    """One test per case; the X server and the generated files are shared."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="sismap-malformed-")
        cls.addClassCleanup(shutil.rmtree, cls.tmp, True)
        cls.generated = write_generated_files(cls.tmp)
        super().setUpClass()

    def path(self, name):
        return self.generated.get(name, name)

    def run_window_case(self, landscape, quakes, expect):
        landscape, quakes = self.path(landscape), self.path(quakes)
        viewer = Viewer(BINARY, [landscape, quakes], self.display)
        viewer.start()
        self.addCleanup(viewer.stop)
        viewer.wait_for_window(timeout=WINDOW_TIMEOUT)
        viewer.wait_for_frame(lambda f: frame_problem(f, expect), timeout=FRAME_TIMEOUT,
                              what="first frame of %s" % self.id().split(".")[-1])
        viewer.keys(*ROUND_OF_KEYS)
        time.sleep(PLAY_SECONDS)
        self.assertIsNone(viewer.process.poll(), "viewer ended during keys or play:\n" + viewer.output())
        # Still drawing after the keys: the legend does not move with zoom
        # and pan, so where it showed it still shows.
        still = [e for e in expect if e in ("legend", "no_outline", "black")]
        viewer.wait_for_frame(lambda f: frame_problem(f, still), timeout=FRAME_TIMEOUT,
                              what="frame after keys of %s" % self.id().split(".")[-1])
        press_escape(viewer)
        status = viewer.wait_exit(timeout=EXIT_TIMEOUT)
        out = viewer.output()
        self.assertIsNone(fault_in(out), out)
        # Odd as they are, none of these files is a data-centre download:
        # no hint to convert it.
        self.assertNotIn("sismap-import catalogue", out)
        self.assertEqual(status, 0, out)
        self.assertTrue(out.endswith("Exiting...\n"), out)

    def run_fail_case(self, landscape, quakes, outcome):
        landscape, quakes = self.path(landscape), self.path(quakes)
        run_to_failure(self, [BINARY, landscape, quakes], landscape, quakes, outcome, self.display.env())
        if outcome in (LANDSCAPE_FAILS, QUAKES_FAIL) and "no_such_file" in landscape + quakes:
            self.assertFalse(os.path.exists(self.generated["@missing"]), "missing input was created")

    def test_unreadable_file(self):
        """Mode 000 files, in either position. Root reads them anyway, so as
        root the binary runs as the unprivileged user 65534."""
        work = tempfile.mkdtemp(prefix="sismap-unreadable-")
        self.addCleanup(shutil.rmtree, work, True)
        os.chmod(work, 0o755)
        good_outline = shutil.copy(GOOD_OUTLINE, os.path.join(work, "outline.txt"))
        good_quakes = shutil.copy(GOOD_CATALOGUE, os.path.join(work, "quakes.txt"))
        locked = os.path.join(work, "locked.txt")
        shutil.copy(GOOD_CATALOGUE, locked)
        for path in (good_outline, good_quakes):
            os.chmod(path, 0o644)
        os.chmod(locked, 0o000)
        # A copy of the binary beside the files, so the unprivileged user can
        # run it wherever the build folder lies (a checkout under /root, say).
        binary = shutil.copy(BINARY, os.path.join(work, "sismap"))
        os.chmod(binary, 0o755)

        prefix = []
        if os.geteuid() == 0:
            prefix = unprivileged_prefix()
            if prefix is None:
                self.skipTest("running as root and neither setpriv nor runuser can switch to an "
                              "unprivileged user, so a mode-000 file would still be readable")
            probe = subprocess.run(prefix + ["sh", "-c", 'test -x "$0" && ! test -r "$1"', binary, locked],
                                   stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
            if probe.returncode != 0:
                self.skipTest("the unprivileged user 65534 cannot run %s (or can read a mode-000 "
                              "file), so the case cannot be run" % binary)
        env = self.display.env()
        for landscape, quakes, outcome in ((locked, good_quakes, LANDSCAPE_FAILS),
                                           (good_outline, locked, QUAKES_FAIL),
                                           (locked, locked, BOTH_FAIL)):
            with self.subTest(landscape=os.path.basename(landscape), quakes=os.path.basename(quakes)):
                run_to_failure(self, prefix + [binary, landscape, quakes], landscape, quakes, outcome, env)
        self.assertEqual(os.stat(locked).st_mode & 0o777, 0)


def unprivileged_prefix():
    """A command prefix that runs a program as user and group 65534, or None."""
    if shutil.which("setpriv"):
        return ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
    if shutil.which("runuser"):
        return ["runuser", "-u", "nobody", "--"]
    return None


def _add_cases():
    for name, landscape, quakes, expect in WINDOW_CASES:
        setattr(MalformedTest, "test_window_" + name,
                lambda self, l=landscape, q=quakes, e=expect: self.run_window_case(l, q, e))
    for name, landscape, quakes, outcome in FAIL_CASES:
        setattr(MalformedTest, "test_fails_" + name,
                lambda self, l=landscape, q=quakes, o=outcome: self.run_fail_case(l, q, o))


_add_cases()


def snapshot(directory):
    """Name, bytes and modification time (ns) of every entry of a directory."""
    out = {}
    for name in sorted(os.listdir(directory)):
        path = os.path.join(directory, name)
        info = os.lstat(path)
        data = None
        if os.path.isfile(path):
            with open(path, "rb") as f:
                data = f.read()
        out[name] = (data, info.st_mtime_ns, info.st_size, info.st_mode)
    return out


class ReadOnlyTest(harness.SharedDisplayTestCase):
    """The viewer only ever reads its inputs: after a session with keys and
    play, both files are byte-identical with unchanged modification times,
    and their directory (also the viewer's working directory) holds exactly
    what it held before."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="sismap-readonly-")
        self.addCleanup(shutil.rmtree, self.work, True)
        self.outline = shutil.copy(GOOD_OUTLINE, os.path.join(self.work, "outline.txt"))
        self.quakes = shutil.copy(GOOD_CATALOGUE, os.path.join(self.work, "quakes.txt"))
        # Modification times well in the past, so a rewrite could not keep them.
        past = time.time_ns() - 86400 * 10**9
        for path in (self.outline, self.quakes):
            os.utime(path, ns=(past, past))

    def test_session_leaves_inputs_untouched(self):
        before = snapshot(self.work)
        # env -C: the viewer runs with the input directory as its working
        # directory, so anything it would write there shows up too.
        viewer = Viewer(BINARY, [self.outline, self.quakes], self.display, prefix=["env", "-C", self.work])
        viewer.start()
        self.addCleanup(viewer.stop)
        viewer.wait_for_window(timeout=WINDOW_TIMEOUT)
        viewer.wait_for_frame(lambda f: frame_problem(f, ["outline", "legend", "marks"]),
                              timeout=FRAME_TIMEOUT, what="read-only session frame")
        viewer.keys(*ROUND_OF_KEYS)
        time.sleep(PLAY_SECONDS)
        press_escape(viewer)
        self.assertEqual(viewer.wait_exit(timeout=EXIT_TIMEOUT), 0, viewer.output())
        after = snapshot(self.work)
        self.assertEqual(sorted(after), sorted(before), "entries of the input directory changed")
        for name in before:
            self.assertEqual(after[name], before[name], "%s changed (bytes, mtime, size or mode)" % name)

    def test_missing_inputs_are_not_created(self):
        missing_outline = os.path.join(self.work, "no_outline.txt")
        missing_quakes = os.path.join(self.work, "no_quakes.txt")
        before = snapshot(self.work)
        for landscape, quakes, outcome in ((missing_outline, self.quakes, LANDSCAPE_FAILS),
                                           (self.outline, missing_quakes, QUAKES_FAIL),
                                           (missing_outline, missing_quakes, BOTH_FAIL)):
            with self.subTest(landscape=os.path.basename(landscape), quakes=os.path.basename(quakes)):
                run_to_failure(self, [BINARY, landscape, quakes], landscape, quakes, outcome,
                               self.display.env(), cwd=self.work)
        self.assertEqual(snapshot(self.work), before)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: test_malformed.py PATH_TO_SISMAP")
    BINARY = os.path.abspath(sys.argv[1])
    harness.install_signal_cleanup()
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[2:])
