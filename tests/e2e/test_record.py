#!/usr/bin/env python3
"""End-to-end tests of sismap-record against the real viewer.

Usage: test_record.py PATH_TO_SISMAP_RECORD PATH_TO_SISMAP

The recorder's frames are compared, pixel for pixel, with screenshots of the
viewer's window under the harness's Xvfb after the same key presses: frame k
with the window after k presses of 'g', the .png still with the start-up view,
--min-mag 4 with the window after '4'. GIF and MP4 output are decoded again
(ImageMagick, FFmpeg) and compared with the recorder's own PNG frames. The
recorder runs with DISPLAY unset throughout, and the tests check that it
leaves no process behind, also when interrupted, and no partial file.
"""

import ctypes
import math
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402
from harness import Frame, Viewer  # noqa: E402

RECORDER = None  # set from the command line
VIEWER = None

SOURCE = os.path.dirname(os.path.dirname(HERE))
OUTLINE = os.path.join(SOURCE, "samples", "california.txt")
CATALOGUE = os.path.join(SOURCE, "samples", "california_quakes.txt")

PR_SET_CHILD_SUBREAPER = 36


def become_subreaper():
    """Orphaned descendants (an X server its parent failed to stop) are
    handed to this process, where live_descendants() finds them."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER)")


def children_of(pid):
    """(pid, state, command) of the processes whose parent is `pid`."""
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name) as f:
                stat = f.read()
        except OSError:
            continue
        command = stat[stat.index("(") + 1:stat.rindex(")")]
        fields = stat[stat.rindex(")") + 2:].split()
        if int(fields[1]) == pid:
            found.append((int(name), fields[0], command))
    return found


def leftover_processes(known, timeout=5.0):
    """Children of this process beyond `known` that are still alive after
    `timeout` seconds; zombies among them are reaped on the way."""
    deadline = time.monotonic() + timeout
    while True:
        alive = []
        for pid, state, command in children_of(os.getpid()):
            if pid in known:
                continue
            if state == "Z":
                try:
                    os.waitpid(pid, os.WNOHANG)
                except ChildProcessError:
                    pass
                continue
            alive.append((pid, command))
        if not alive or time.monotonic() >= deadline:
            return alive
        time.sleep(0.05)


def environment_without_display():
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def record(args, check=True, timeout=300, env=None):
    """Runs the recorder (by default with DISPLAY unset); returns the finished process."""
    run = subprocess.run([RECORDER] + list(args), env=env or environment_without_display(), stdin=subprocess.DEVNULL,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
    if check and run.returncode != 0:
        raise AssertionError("sismap-record %s ended with %d:\n%s%s" % (
            " ".join(args), run.returncode, run.stdout.decode(errors="replace"),
            run.stderr.decode(errors="replace")))
    return run


def read_image(path):
    """A still image (PNG) read by ImageMagick, as a Frame."""
    shot = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120, check=True)
    return Frame.from_ppm(shot.stdout)


def read_video_frame(path, k, size=harness.WINDOW_SIZE):
    """Frame k of an animation or video as FFmpeg decodes it (composed over
    the earlier frames), as a Frame."""
    decoded = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-vf", "select=eq(n\\,%d)" % k,
                              "-fps_mode", "passthrough", "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24",
                              "-"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120, check=True)
    if len(decoded.stdout) != size * size * 3:
        raise AssertionError("frame %d of %s: %d bytes decoded" % (k, path, len(decoded.stdout)))
    return Frame(size, size, decoded.stdout)


def different_pixels(a, b):
    if (a.width, a.height) != (b.width, b.height):
        return a.width * a.height
    count = 0
    for i in range(0, len(a.rgb), 3):
        if a.rgb[i:i + 3] != b.rgb[i:i + 3]:
            count += 1
    return count


def frame_path(folder, k):
    return os.path.join(folder, "frame-%05d.png" % k)


def frame_count(folder):
    return len([n for n in os.listdir(folder) if re.fullmatch(r"frame-\d{5}\.png", n)])


class RecorderAgainstViewerTest(harness.SharedDisplayTestCase):
    """The recorder's PNG output against the viewer's window on the shared
    Xvfb. The frames of the sample are recorded once for the class."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.work = tempfile.mkdtemp(prefix="sismap-record-e2e-")
        cls.addClassCleanup(shutil.rmtree, cls.work, True)
        cls.frames = os.path.join(cls.work, "frames") + "/"
        os.mkdir(cls.frames)
        record([OUTLINE, CATALOGUE, cls.frames])
        cls.last = frame_count(cls.frames) - 1

    def start_viewer(self):
        viewer = Viewer(VIEWER, [OUTLINE, CATALOGUE], self.display)
        viewer.start()
        self.addCleanup(viewer.stop)
        viewer.wait_for_window(timeout=30)
        return viewer

    def wait_equal(self, viewer, expected, what):
        """Waits until the window shows `expected` exactly; fails with the
        number of differing pixels of the last screenshot otherwise."""
        viewer.wait_for_frame(
            lambda shot: None if shot.rgb == expected.rgb else
            "%d pixels differ" % different_pixels(shot, expected), timeout=15, what=what)

    def test_frames_equal_the_window_after_as_many_g_presses(self):
        # The sample plays in some 720 frames: early ones, one in the middle
        # of a busy stretch, and the last, where further presses change nothing.
        self.assertGreater(self.last, 200)
        viewer = self.start_viewer()
        pressed = 0
        for k in (1, 2, 25, 200, self.last):
            viewer.keys(*["g"] * (k - pressed), delay_ms=1)
            pressed = k
            self.wait_equal(viewer, read_image(frame_path(self.frames, k)), "frame %d after %d g" % (k, k))
        viewer.keys("g", "g")
        self.wait_equal(viewer, read_image(frame_path(self.frames, self.last)), "the last frame after more g")

    def test_still_equals_the_start_up_view(self):
        still = os.path.join(self.work, "start.png")
        record([OUTLINE, CATALOGUE, still])
        viewer = self.start_viewer()
        self.wait_equal(viewer, read_image(still), "start-up view")

    def test_min_mag_4_equals_the_window_after_4(self):
        folder = os.path.join(self.work, "four")
        os.mkdir(folder)  # an existing directory without a final '/'
        record(["--min-mag", "4", OUTLINE, CATALOGUE, folder])
        still = os.path.join(self.work, "four.png")
        record(["--min-mag", "4", OUTLINE, CATALOGUE, still])
        self.assertEqual(frame_count(folder), self.last + 1)
        viewer = self.start_viewer()
        viewer.keys("4")
        self.wait_equal(viewer, read_image(still), "start-up view after 4")
        viewer.keys(*["g"] * 30, delay_ms=1)
        self.wait_equal(viewer, read_image(frame_path(folder, 30)), "frame 30 after 4 and 30 g")
        # Threshold 4 leaves marks out that threshold 0 draws.
        self.assertNotEqual(read_image(frame_path(folder, 30)).rgb, read_image(frame_path(self.frames, 30)).rgb)

    def test_zoom_and_pan_equal_the_window_after_the_keys(self):
        folder = os.path.join(self.work, "moved") + "/"
        os.mkdir(folder)
        # 'Left' adds 0.1 to the x shift and 'Up' takes 0.1 from the y shift.
        record(["--pan", "0.1,-0.1", "--every", "40", OUTLINE, CATALOGUE, folder])
        viewer = self.start_viewer()
        viewer.keys("Left", "Up", *["g"] * 40, delay_ms=1)
        self.wait_equal(viewer, read_image(frame_path(folder, 1)), "--every 40 --pan: second frame is frame 40")

    def test_gif_frames_equal_the_png_frames(self):
        gif = os.path.join(self.work, "sample.gif")
        run = record([OUTLINE, CATALOGUE, gif])
        self.assertRegex(run.stderr.decode(), r"%d frames \(" % (self.last + 1))
        identify = subprocess.run(["identify", "-format", "%T %W %H\n", gif], stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, timeout=120, check=True)
        lines = identify.stdout.decode().split("\n")[:-1]
        self.assertEqual(len(lines), self.last + 1)
        self.assertTrue(all(line == "5 650 650" for line in lines), lines[:3])  # 5/100 s: 20 fps
        with open(gif, "rb") as f:
            self.assertIn(b"NETSCAPE2.0\x03\x01\x00\x00", f.read(4096))  # loops forever
        for k in (0, 1, 200, self.last):
            self.assertEqual(different_pixels(read_video_frame(gif, k), read_image(frame_path(self.frames, k))), 0,
                             "GIF frame %d" % k)

    def test_mp4_has_every_frame_and_stays_close_to_the_png_frames(self):
        mp4 = os.path.join(self.work, "sample.mp4")
        record([OUTLINE, CATALOGUE, mp4])
        probe = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                                "-show_entries", "stream=nb_read_frames,codec_name,pix_fmt,r_frame_rate,width,height",
                                "-of", "default=noprint_wrappers=1", mp4],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120, check=True)
        fields = dict(line.split("=", 1) for line in probe.stdout.decode().split())
        self.assertEqual(fields, {"codec_name": "h264", "width": "650", "height": "650", "pix_fmt": "yuv420p",
                                  "r_frame_rate": "20/1", "nb_read_frames": str(self.last + 1)})
        with open(mp4, "rb") as f:
            head = f.read(1 << 16)
        self.assertLess(head.find(b"moov"), head.find(b"mdat"), "index (moov) before the data: faststart")
        psnr = subprocess.run(["ffmpeg", "-nostdin", "-v", "info", "-i", mp4, "-framerate", "20", "-i",
                               os.path.join(self.frames, "frame-%05d.png"), "-lavfi", "[0:v][1:v]psnr",
                               "-f", "null", "-"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
        found = re.search(rb"PSNR .* average:([0-9.inf]+) min:([0-9.inf]+)", psnr.stderr)
        self.assertIsNotNone(found, psnr.stderr.decode(errors="replace")[-2000:])
        self.assertGreater(float(found.group(2)), 30.0, "worst frame's PSNR in YUV")
        # And in RGB, as a player shows the frames.
        for k in (1, 200, self.last):
            shown = read_video_frame(mp4, k)
            wanted = read_image(frame_path(self.frames, k))
            squared = sum((a - b) ** 2 for a, b in zip(shown.rgb, wanted.rgb))
            psnr_rgb = 10 * math.log10(255.0 ** 2 * len(wanted.rgb) / max(squared, 1))
            self.assertGreater(psnr_rgb, 30.0, "frame %d's PSNR in RGB" % k)


class WithoutDisplayTest(unittest.TestCase):
    """The recorder on its own: no X server of the test's, DISPLAY unset."""

    @classmethod
    def setUpClass(cls):
        become_subreaper()

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="sismap-record-e2e-")
        self.addCleanup(shutil.rmtree, self.work, True)
        self.known = {pid for pid, _, _ in children_of(os.getpid())}

    def assertNoProcessLeft(self):
        self.assertEqual(leftover_processes(self.known), [], "processes left behind")

    def assertNoTemporaryFile(self):
        self.assertEqual([n for n in os.listdir(self.work) if n.startswith(".")], [], "temporary files left")

    def test_display_unset_records_and_leaves_no_process(self):
        gif = os.path.join(self.work, "out.gif")
        run = record(["--every", "10", OUTLINE, CATALOGUE, gif])
        self.assertEqual(run.returncode, 0)
        with open(gif, "rb") as f:
            self.assertEqual(f.read(6), b"GIF89a")
        self.assertNoProcessLeft()
        self.assertNoTemporaryFile()

    def test_the_users_display_is_never_used(self):
        # A DISPLAY with no server behind it: the private server is used regardless.
        env = dict(environment_without_display(), DISPLAY=harness.free_display_name())
        still = os.path.join(self.work, "still.png")
        record([OUTLINE, CATALOGUE, still], env=env)
        self.assertTrue(os.path.getsize(still) > 0)
        self.assertNoProcessLeft()

    def test_missing_xvfb_is_explained(self):
        env = dict(environment_without_display(), PATH=self.work)  # no Xvfb on the search path
        run = record([OUTLINE, CATALOGUE, os.path.join(self.work, "out.gif")], check=False, env=env)
        self.assertEqual(run.returncode, 1)
        self.assertIn("is the xvfb package installed?", run.stderr.decode(errors="replace"))
        self.assertEqual(os.listdir(self.work), [])
        self.assertNoProcessLeft()

    def big_catalogue(self):
        """About three years of 200 events a day: slow enough to interrupt."""
        path = os.path.join(self.work, "big.txt")
        with open(path, "w") as f:
            f.write("year,month,day,time,latitude,longitude,magnitude\n")
            for n in range(3 * 365 * 200):
                day = n // 200
                year, rest = 2001 + day // 365, day % 365
                month = 1 + rest // 31 if rest < 31 * 11 else 12
                f.write("%d,%02d,%02d,120000.00,%.2f,%.2f,%.1f\n" % (
                    year, month, min(1 + rest % 31, 28), 33 + (n % 70) / 10.0, -121 + (n % 50) / 10.0,
                    3 + (n % 40) / 10.0))
        return path

    def start_long_recording(self, gif):
        """Starts a recording of the big catalogue to `gif`, over an earlier
        file, and returns once its temporary output exists."""
        with open(gif, "wb") as f:
            f.write(b"an earlier recording")
        recorder = subprocess.Popen([RECORDER, OUTLINE, self.big_catalogue(), gif],
                                    env=environment_without_display(), stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.addCleanup(lambda: recorder.poll() is None and (recorder.kill(), recorder.wait()))
        self.addCleanup(recorder.stderr.close)
        deadline = time.monotonic() + 60
        while not [n for n in os.listdir(self.work) if n.startswith(".out.gif.")]:
            self.assertIsNone(recorder.poll(), "ended before writing")
            self.assertLess(time.monotonic(), deadline, "no temporary output within 60 s")
            time.sleep(0.005)
        time.sleep(0.2)
        return recorder

    def assertOutputAsBefore(self, gif):
        with open(gif, "rb") as f:
            self.assertEqual(f.read(), b"an earlier recording")
        self.assertNoTemporaryFile()
        self.assertNoProcessLeft()

    def test_a_lost_x_server_changes_nothing_and_leaves_no_process(self):
        # Frames are drawn in the recorder's own memory: when its X server
        # dies mid-recording, the recording still completes exactly as
        # without the loss, and ends with status 0 and nothing left running.
        gif = os.path.join(self.work, "out.gif")
        recorder = self.start_long_recording(gif)
        servers = [pid for pid, _, command in children_of(recorder.pid) if command == "Xvfb"]
        self.assertEqual(len(servers), 1, children_of(recorder.pid))
        os.kill(servers[0], signal.SIGKILL)
        self.assertEqual(recorder.wait(timeout=60), 0, recorder.stderr.read().decode(errors="replace"))
        self.assertNoTemporaryFile()
        self.assertNoProcessLeft()
        reference = os.path.join(self.work, "reference.gif")
        record([OUTLINE, os.path.join(self.work, "big.txt"), reference])
        with open(gif, "rb") as f, open(reference, "rb") as g:
            self.assertTrue(f.read() == g.read(), "same GIF as without the loss")

    def interrupt(self, signal_number):
        gif = os.path.join(self.work, "out.gif")
        recorder = self.start_long_recording(gif)
        os.kill(recorder.pid, signal_number)
        self.assertEqual(recorder.wait(timeout=30), -signal_number, "ends as the signal would")
        self.assertOutputAsBefore(gif)

    def test_ctrl_c_leaves_no_process_and_no_partial_file(self):
        self.interrupt(signal.SIGINT)

    def test_sigterm_leaves_no_process_and_no_partial_file(self):
        self.interrupt(signal.SIGTERM)

    def test_an_interrupted_folder_recording_leaves_the_folders_as_they_were(self):
        # Frames written before the signal go, and so does the folder the
        # recorder made; a folder that existed keeps only what it held.
        big = self.big_catalogue()
        made = os.path.join(self.work, "made") + "/"
        kept = os.path.join(self.work, "kept") + "/"
        os.mkdir(kept)
        write_lines(os.path.join(kept, "notes.txt"), ["mine"])
        for folder in (made, kept):
            with self.subTest(folder=folder):
                recorder = subprocess.Popen([RECORDER, OUTLINE, big, folder], env=environment_without_display(),
                                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
                self.addCleanup(lambda r=recorder: r.poll() is None and (r.kill(), r.wait()))
                deadline = time.monotonic() + 60
                while not (os.path.isdir(folder) and frame_count(folder) >= 3):
                    self.assertIsNone(recorder.poll(), "ended before writing")
                    self.assertLess(time.monotonic(), deadline, "no frames within 60 s")
                    time.sleep(0.005)
                os.kill(recorder.pid, signal.SIGINT)
                self.assertEqual(recorder.wait(timeout=30), -signal.SIGINT)
        self.assertEqual(sorted(os.listdir(self.work)), ["big.txt", "kept"])
        self.assertEqual(os.listdir(kept), ["notes.txt"])
        self.assertNoProcessLeft()

    def test_bad_input_is_reported_and_writes_nothing(self):
        gif = os.path.join(self.work, "out.gif")
        missing = os.path.join(self.work, "missing.txt")
        cases = [
            # arguments, exit status, text expected on stdout or stderr
            ([missing, CATALOGUE, gif], 1, 'Could not open the landscape file named "%s"' % missing),
            ([OUTLINE, missing, gif], 1, 'Could not open the earthquake data file named "%s"' % missing),
            ([OUTLINE, CATALOGUE, os.path.join(self.work, "out.avi")], 2, "must end in .gif, .mp4, .png"),
            ([OUTLINE, CATALOGUE, os.path.join(self.work, "none", "sub") + "/"], 1, "does not exist"),
            ([OUTLINE, CATALOGUE, os.path.join(self.work, "none", "out.gif")], 1, "does not exist"),
            # A path through a file (the outline is one) is not a folder.
            ([OUTLINE, CATALOGUE, os.path.join(OUTLINE, "out.gif")], 1, "' is not a folder"),
            ([OUTLINE, CATALOGUE, OUTLINE + "/"], 1, "' is not a folder"),
            (["--min-mag", "2", OUTLINE, CATALOGUE, gif], 2, "--min-mag must be 0 or"),
            (["--fps", "0", OUTLINE, CATALOGUE, gif], 2, "--fps must be"),
            (["--from", "2001-02-30", OUTLINE, CATALOGUE, gif], 2, "--from must be a date"),
            (["--from", "2030-01-01", OUTLINE, CATALOGUE, gif], 1, "is never reached"),
            ([OUTLINE, CATALOGUE], 2, "needs three arguments"),
        ]
        for args, status, text in cases:
            with self.subTest(args=args):
                run = record(args, check=False)
                output = run.stdout.decode(errors="replace") + run.stderr.decode(errors="replace")
                self.assertEqual(run.returncode, status, output)
                self.assertIn(text, output)
                self.assertEqual(os.listdir(self.work), [], "nothing written")
        self.assertNoProcessLeft()


def write_lines(path, lines):
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return path


def outline_bounds(path):
    """min_x, min_y, max_x, max_y of a landscape file (lat,lon lines)."""
    with open(path) as f:
        points = [tuple(int(v) for v in line.split(",")[:2]) for line in f.read().split("\n")[1:] if line]
    return (min(p[1] for p in points), min(p[0] for p in points), max(p[1] for p in points),
            max(p[0] for p in points))


def mark_pixel(bounds, longitude, latitude):
    """Column and row of a mark's centre under the viewer's camera at the
    start-up view: 18 units above the outline's centre, 60 degrees, the
    outline drawn 0.6 up."""
    side = 2 * 18 * math.tan(math.radians(30))
    centre_x, centre_y = (bounds[0] + bounds[2]) / 2.0, (bounds[1] + bounds[3]) / 2.0
    return (round((longitude - centre_x) / side * harness.WINDOW_SIZE + harness.WINDOW_SIZE / 2),
            round(harness.WINDOW_SIZE / 2 - (latitude + 0.6 - centre_y) / side * harness.WINDOW_SIZE))


def has_mark_at(frame, column, row):
    """A magnitude-5 mark's colour (red, green 0.6, no blue) near the pixel."""
    for y in range(row - 2, row + 3):
        for x in range(column - 2, column + 3):
            i = (y * frame.width + x) * 3
            r, g, b = frame.rgb[i], frame.rgb[i + 1], frame.rgb[i + 2]
            if r > 200 and 100 < g < 210 and b < 60:
                return True
    return False


def pixel_of(frame, x, y):
    i = (y * frame.width + x) * 3
    return tuple(frame.rgb[i:i + 3])


def lit_box(frame, test=lambda r, g, b: r or g or b):
    """(left, top, right, bottom) of the pixels that pass `test`, or None."""
    columns, rows = [], []
    for y in range(frame.height):
        for x in range(frame.width):
            i = (y * frame.width + x) * 3
            if test(frame.rgb[i], frame.rgb[i + 1], frame.rgb[i + 2]):
                columns.append(x)
                rows.append(y)
    return (min(columns), min(rows), max(columns), max(rows)) if columns else None


class RealTimeAndFitTest(unittest.TestCase):
    """--window/--step frames against the window rule, computed here with
    Python's own calendar, and --fit framing whole outlines and legends."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="sismap-record-e2e-")
        self.addCleanup(shutil.rmtree, self.work, True)

    def test_each_mark_is_in_exactly_the_frames_whose_window_holds_it(self):
        import datetime
        utc = datetime.timezone.utc
        # Across the leap day, on window edges and a hundredth before them,
        # one entry out of order; each at its own place, a degree apart.
        times = ["2024-02-28 22:30:00.00", "2024-02-28 23:00:00.00", "2024-02-28 23:59:59.99",
                 "2024-02-29 00:00:00.00", "2024-02-29 23:59:59.99", "2024-02-29 05:17:42.50",
                 "2024-03-01 00:00:00.00", "2024-03-01 01:00:00.01", "2024-03-01 02:59:59.99",
                 "2024-03-01 03:00:00.00", "2024-03-01 07:45:00.00"]
        events = []
        for n, text in enumerate(times):
            when = datetime.datetime.strptime(text, "%Y-%m-%d %H:%M:%S.%f").replace(tzinfo=utc)
            events.append((when, 34.0 + (n // 6) * 2.0, -123.0 + (n % 6) * 1.5))
        catalogue = write_lines(os.path.join(self.work, "sequence.txt"), [
            "year,month,day,time,latitude,longitude,magnitude"] + [
            "%d,%02d,%02d,%02d%02d%02d.%02d,%.1f,%.1f,5.0" % (
                w.year, w.month, w.day, w.hour, w.minute, w.second, w.microsecond // 10000, lat, lon)
            for w, lat, lon in events])
        window, step = datetime.timedelta(hours=3), datetime.timedelta(minutes=90)
        first, last = min(e[0] for e in events), max(e[0] for e in events)
        midnight = first.replace(hour=0, minute=0, second=0, microsecond=0)
        t0 = midnight + ((first - midnight) // step) * step
        last_k = 0
        while t0 + last_k * step + window <= last:
            last_k += 1
        folder = os.path.join(self.work, "frames") + "/"
        os.mkdir(folder)
        record(["--window", "3h", "--step", "90m", OUTLINE, catalogue, folder])
        self.assertEqual(frame_count(folder), last_k + 1)
        bounds = outline_bounds(OUTLINE)
        for k in range(last_k + 1):
            frame = read_image(frame_path(folder, k))
            start = t0 + k * step
            for n, (when, lat, lon) in enumerate(events):
                with self.subTest(frame=k, event=times[n]):
                    self.assertEqual(has_mark_at(frame, *mark_pixel(bounds, lon, lat)),
                                     start <= when < start + window)

    def check_map(self, outline, events, size, extra=()):
        """Records `events` (latitude, longitude, magnitude) on `outline` in
        map mode at `size` (width, height) and checks each mark at its place
        with its size in pixels, the outline whole and filling the frame,
        the keys below it. Returns the frame and the outline's pixel box."""
        catalogue = write_lines(os.path.join(self.work, "quakes.txt"), [
            "year,month,day,time,latitude,longitude,magnitude"] + [
            "2024,03,%02d,120000.00,%.2f,%.2f,%.1f" % (1 + n, lat, lon, m) for n, (lat, lon, m) in enumerate(events)]
            # The start-up view draws every entry but the last, which marks the end.
            + ["2024,04,01,120000.00,%.2f,%.2f,1.0" % events[0][:2]])
        still = os.path.join(self.work, "map.png")
        record(["--size", "%dx%d" % size] + list(extra) + [outline, catalogue, still])
        frame = read_image(still)
        width, height = size
        self.assertEqual((frame.width, frame.height), (width, height))
        white = lit_box(frame, lambda r, g, b: r == g == b == 255)
        legend = lit_box(frame, lambda r, g, b: r > 200 and g < 40 and b < 40)
        # The outline whole, inside the frame, filling its limiting side
        # within the 5% margin; the keys all below it.
        self.assertGreater(white[0], 0)
        self.assertGreater(white[1], 0)
        self.assertLess(white[2], width - 1)
        self.assertGreater(legend[1], white[3], (legend, white))
        self.assertLessEqual(legend[3], height - 2)
        map_height = legend[1] - 2
        self.assertTrue(white[2] - white[0] >= 0.85 * width or white[3] - white[1] >= 0.85 * map_height,
                        (white, legend))
        bounds = outline_bounds(outline)
        for lat, lon, m in events:
            with self.subTest(event=(lat, lon, m)):
                x = white[0] + (lon - bounds[0]) / (bounds[2] - bounds[0]) * (white[2] - white[0])
                y = white[3] - (lat - bounds[1]) / (bounds[3] - bounds[1]) * (white[3] - white[1])
                half = max(2, round(m * 0.025 * 650 / (2 * 18 * math.tan(math.radians(30))) * height / 650))
                column, row = int(round(x)), int(round(y))
                # Find the mark's centre within a pixel of its place: the
                # pixel whose arms both reach exactly `half` pixels.
                found = False
                for dx in (-1, 0, 1):
                    for dy in (-1, 0, 1):
                        cx, cy = column + dx, row + dy
                        lit = lambda px, py: any(pixel_of(frame, px, py))
                        if (all(lit(cx + k, cy) and lit(cx, cy + k) for k in range(-half, half + 1))
                                and not lit(cx + half + 1, cy) and not lit(cx - half - 1, cy)
                                and not lit(cx, cy + half + 1) and not lit(cx, cy - half - 1)):
                            found = True
                self.assertTrue(found, "mark of half-size %d near (%d, %d)" % (half, column, row))
        return frame, white

    def test_map_mode_on_a_world_box_and_a_three_degree_region(self):
        world = write_lines(os.path.join(self.work, "world.txt"),
                            ["lat,lon", "-90,-180", "90,-180", "90,180", "-90,180"])
        self.check_map(world, [(0, 0, 5.0), (40, -100, 7.0), (-30, 120, 3.0)], (1280, 720))
        small = write_lines(os.path.join(self.work, "small.txt"), ["lat,lon", "10,20", "13,20", "13,23", "10,23"])
        self.check_map(small, [(11.5, 21.5, 5.0), (10.5, 20.5, 3.0), (12.5, 22.5, 7.0)], (650, 650), ["--fit"])
        self.check_map(small, [(11.5, 21.5, 6.0)], (1920, 1080), ["--colour", "depth"])

    def test_a_coast_is_drawn_where_its_points_project(self):
        # An outline across 180 degrees, in 0..360; a coast in GMT text
        # across it, and an island written in -180..180, which is shifted
        # by 360 degrees to meet the outline.
        small = write_lines(os.path.join(self.work, "small.txt"),
                            ["lat,lon", "10,178", "13,178", "13,181", "10,181"])
        coast = write_lines(os.path.join(self.work, "coast.txt"), [
            "> main", "178.5 10.5", "180.5 10.5", "180.5 12.5", "178.5 12.5", "178.5 10.5",
            "> island", "-179.8 11.2", "-179.2 11.2", "-179.2 11.8", "-179.8 11.8", "-179.8 11.2"])
        catalogue = write_lines(os.path.join(self.work, "quakes.txt"), [
            "year,month,day,time,latitude,longitude,magnitude", "2024,03,01,120000.00,11.5,179.5,4.0"])
        still = os.path.join(self.work, "coast.png")
        record(["--coast", coast, small, catalogue, still])
        frame = read_image(still)
        white = lit_box(frame, lambda r, g, b: r == g == b == 255)
        # With a coast the whole-degree outline is not drawn; the coast's
        # box is the main ring's, placed where the outline's box would be.
        plain = os.path.join(self.work, "plain.png")
        record(["--fit", small, catalogue, plain])
        box = lit_box(read_image(plain), lambda r, g, b: r == g == b == 255)
        def pixel(lon, lat):
            return (box[0] + (lon - 178) / 3.0 * (box[2] - box[0]), box[3] - (lat - 10) / 3.0 * (box[3] - box[1]))
        for lon, lat in [(178.5, 10.5), (180.5, 10.5), (180.5, 12.5), (178.5, 12.5), (179.5, 10.5), (180.5, 11.2),
                         (180.8, 11.5), (180.2, 11.8)]:
            with self.subTest(point=(lon, lat)):
                x, y = pixel(lon, lat)
                near = [pixel_of(frame, int(round(x)) + dx, int(round(y)) + dy) for dx in (-1, 0, 1) for dy in (-1, 0, 1)]
                self.assertIn((255, 255, 255), near)
        x0, y0 = pixel(178.5, 12.5)
        x1, y1 = pixel(180.8, 10.5)
        self.assertLessEqual(abs(white[0] - x0), 1.5, white)
        self.assertLessEqual(abs(white[2] - x1), 1.5, white)

    def section_still(self, outline, events, extra, name="section.png"):
        """Records `events` (latitude, longitude, depth or None, magnitude) as
        a still with a section; returns the frame, the panel's rectangle
        (left, top, right, bottom columns and rows) and the summary."""
        catalogue = write_lines(os.path.join(self.work, "quakes.txt"), [
            "year,month,day,time,latitude,longitude,magnitude,depth"] + [
            "2024,03,%02d,120000.00,%.6f,%.6f,%.1f,%s" % (1 + n, lat, lon, m, "" if d is None else "%.2f" % d)
            for n, (lat, lon, d, m) in enumerate(events)]
            + ["2024,04,01,120000.00,%.6f,%.6f,1.0," % events[0][:2]])
        still = os.path.join(self.work, name)
        run = record(["--size", "1280x720"] + list(extra) + [outline, catalogue, still])
        frame = read_image(still)
        white = lambda x, y: pixel_of(frame, x, y) == (255, 255, 255)
        # The rectangle's long edges are the rows below the middle that are
        # white over half the width; its sides the columns white between them
        # (but where marks on the edge cover them).
        rows = [y for y in range(frame.height // 2, frame.height)
                if sum(white(x, y) for x in range(frame.width)) > frame.width // 2]
        top, bottom = min(rows), max(rows)
        columns = [x for x in range(frame.width)
                   if sum(white(x, y) for y in range(top, bottom + 1)) > 0.8 * (bottom - top)]
        return frame, (min(columns), top, max(columns), bottom), run.stderr.decode()

    def test_a_section_draws_the_swath_at_its_distances_and_depths(self):
        outline = write_lines(os.path.join(self.work, "box.txt"), ["lat,lon", "-5,-2", "5,-2", "5,12", "-5,12"])
        edge = 6371.0 * math.radians(0.5)  # the swath's edge at latitude 0.5 along the equator
        drawn = [(0.0, 2.5, 100.0, 5.0), (0.0, 5.0, 300.0, 5.0), (0.0, 7.5, 0.0, 5.0), (0.5, 6.0, 200.0, 5.0),
                 (-0.5, 9.0, 250.0, 5.0), (0.0, 10.0, 350.0, 5.0)]
        hidden = [(0.51, 4.0, 150.0, 5.0), (0.0, -0.1, 50.0, 5.0), (0.0, 10.1, 100.0, 5.0), (-0.52, 3.0, 200.0, 5.0),
                  (0.0, 1.0, 450.0, 5.0), (0.0, 3.5, None, 5.0)]
        frame, (left, top, right, bottom), summary = self.section_still(
            outline, drawn + hidden, ["--section", "0,0,0,10", "--width", repr(edge), "--depth-max", "400"])
        self.assertIn("section 1112 km long", summary)
        # The end marker, at the first event's place without a depth, counts too.
        self.assertIn("9 events in the swath; not drawn there: 2 without a depth, 1 deeper than the section", summary)
        self.assertGreater(right - left, 1000)
        self.assertGreater(bottom - top, 120)

        def place(lon, depth):
            return (int(round(left + lon / 10.0 * (right - left))),
                    int(round(top + min(max(depth, 0.0), 400.0) / 400.0 * (bottom - top))))
        for lat, lon, depth, _ in drawn:
            with self.subTest(drawn=(lat, lon, depth)):
                self.assertTrue(has_mark_at(frame, *place(lon, depth)), place(lon, depth))
        for lat, lon, depth, _ in hidden:
            with self.subTest(hidden=(lat, lon, depth)):
                column, row = place(min(max(lon, 0.0), 10.0), 0.0 if depth is None else depth)
                self.assertFalse(has_mark_at(frame, column, row), (column, row))
        # Without --depth-max the panel ends at the swath's deepest event,
        # rounded up to 50 km: 450 km with the 450 km one, 350 km without it.
        _, _, summary = self.section_still(outline, drawn + hidden[:-1],
                                           ["--section", "0,0,0,10", "--width", repr(edge)], "default.png")
        self.assertIn("down to 450 km", summary)
        _, _, summary = self.section_still(outline, drawn, ["--section", "0,0,0,10"], "shallower.png")
        self.assertIn("down to 350 km", summary)
        # --depth leaves events out of the map and the section alike, and
        # says how many had no depth.
        frame, (left, top, right, bottom), summary = self.section_still(
            outline, drawn + hidden, ["--section", "0,0,0,10", "--width", repr(edge), "--depth-max", "400",
                                      "--depth", "150,320"], "selected.png")
        self.assertIn("--depth left out 2 events without a depth and 6 events outside its range", summary)
        for lat, lon, depth, _ in drawn:
            with self.subTest(selected=(lat, lon, depth)):
                self.assertEqual(has_mark_at(frame, *place(lon, depth)), 150 <= depth <= 320)
        # A catalogue through a pipe, which can be read only once, draws the
        # same: its depths come from the one reading.
        piped = os.path.join(self.work, "piped.png")
        with open(os.path.join(self.work, "quakes.txt"), "rb") as f:
            catalogue = f.read()
        run = subprocess.run([RECORDER, "--size", "1280x720", "--section", "0,0,0,10", "--width", repr(edge),
                              "--depth-max", "400", "--depth", "150,320", outline, "/dev/stdin", piped],
                             input=catalogue, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             env=environment_without_display(), timeout=300)
        self.assertEqual(run.returncode, 0, run.stderr.decode(errors="replace"))
        self.assertEqual(read_image(piped).rgb, frame.rgb)

    def test_a_section_across_180_degrees_on_an_outline_in_0_to_360(self):
        outline = write_lines(os.path.join(self.work, "box.txt"), ["lat,lon", "-30,170", "-10,170", "-10,190", "-30,190"])
        a, b = (-20.0, 175.0), (-20.0, 185.0)
        def unit(lat, lon):
            la, lo = math.radians(lat), math.radians(lon)
            return (math.cos(la) * math.cos(lo), math.cos(la) * math.sin(lo), math.sin(la))
        pa, pb = unit(*a), unit(*b)
        angle = math.acos(sum(x * y for x, y in zip(pa, pb)))
        def along(f):  # the great circle's point at fraction f from A, longitude in 0..360
            w1, w2 = math.sin((1 - f) * angle) / math.sin(angle), math.sin(f * angle) / math.sin(angle)
            p = [w1 * x + w2 * y for x, y in zip(pa, pb)]
            return math.degrees(math.asin(p[2])), math.degrees(math.atan2(p[1], p[0])) % 360.0
        fractions = [(0.2, 50.0), (0.5, 100.0), (0.8, 25.0)]
        events = [along(f) + (d, 5.0) for f, d in fractions]
        frame, (left, top, right, bottom), summary = self.section_still(
            outline, events, ["--section", "-20,175,-20,-175", "--depth-max", "100"])
        self.assertIn("4 events in the swath; not drawn there: 1 without a depth", summary)
        for f, d in fractions:
            with self.subTest(fraction=f):
                self.assertTrue(has_mark_at(frame, int(round(left + f * (right - left))),
                                            int(round(top + d / 100.0 * (bottom - top)))))
        # The profile crosses 180 degrees on the map: its point there lies on
        # the line, south of the two ends' latitude.
        outline_box = lit_box(Frame(frame.width, top - 40, frame.rgb[:frame.width * (top - 40) * 3]),
                              lambda r, g, b: r == g == b == 255)
        lat, lon = along(0.5)
        self.assertLess(lat, -20.0)
        x = outline_box[0] + (lon - 170.0) / 20.0 * (outline_box[2] - outline_box[0])
        y = outline_box[3] - (lat + 30.0) / 20.0 * (outline_box[3] - outline_box[1])
        near = [pixel_of(frame, int(round(x)) + dx, int(round(y)) + dy) for dx in range(-3, 4) for dy in range(-3, 4)]
        self.assertTrue(any(b > 200 and g > 150 and r < 150 for r, g, b in near), near)

    def test_a_real_time_legend_stays_whole_in_the_frame(self):
        # California's outline puts the dates 8.5 degrees right of its
        # corner: the long form of an hourly legend would run off the frame.
        catalogue = write_lines(os.path.join(self.work, "day.txt"), [
            "year,month,day,time,latitude,longitude,magnitude",
            "2024,02,26,051000.00,36.0,-119.0,5.0", "2024,02,27,120000.00,37.0,-120.0,4.0"])
        folder = os.path.join(self.work, "frames") + "/"
        record(["--window", "1d", "--step", "1h", OUTLINE, catalogue, folder])
        frame = read_image(frame_path(folder, 0))
        legend = lit_box(frame, lambda r, g, b: r > 200 and g < 40 and b < 40)
        self.assertLess(legend[2], harness.WINDOW_SIZE - 3, legend)
        # Both texts are there: the magnitude text at the left, the dates
        # reaching far to its right.
        self.assertGreater(legend[2] - legend[0], 400, legend)

    def test_a_raw_download_is_refused_and_quiet_is_quiet(self):
        raw = write_lines(os.path.join(self.work, "query.csv"), [
            "time,latitude,longitude,depth,mag,magType,nst,gap,dmin,rms,net,id",
            "2018-03-03T12:00:00.000Z,35.1,-118.2,5.0,4.4,ml,20,40,0.1,0.2,ci,ci1",
            "2018-03-02T12:00:00.000Z,35.2,-118.3,5.0,3.4,ml,20,40,0.1,0.2,ci,ci2"])
        out = os.path.join(self.work, "out")
        os.mkdir(out)
        run = record([OUTLINE, raw, os.path.join(out, "x.gif")], check=False)
        self.assertEqual(run.returncode, 1)
        self.assertIn("sismap-record: %s is not in the viewer's catalogue layout" % raw, run.stderr.decode())
        self.assertIn("convert it with: sismap-import catalogue %s " % raw, run.stderr.decode())
        self.assertEqual(os.listdir(out), [])
        # --quiet: nothing at all on either stream; without it, one frame is "1 frame".
        one_day = write_lines(os.path.join(self.work, "day.txt"), [
            "year,month,day,time,latitude,longitude,magnitude", "2018,03,03,120000.00,35.1,-118.2,4.4"])
        quiet = record(["--quiet", OUTLINE, one_day, os.path.join(out, "q.gif")])
        self.assertEqual((quiet.stdout, quiet.stderr), (b"", b""))
        loud = record([OUTLINE, one_day, os.path.join(out, "l.gif")])
        self.assertIn("sismap-record: 1 frame (0.05 s at 20 fps)", loud.stderr.decode())


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: test_record.py PATH_TO_SISMAP_RECORD PATH_TO_SISMAP")
    RECORDER = os.path.abspath(sys.argv[1])
    VIEWER = os.path.abspath(sys.argv[2])
    harness.install_signal_cleanup()
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[3:])
