"""Helpers to run the real sismap binary in a window under a private virtual
X server: start and stop Xvfb, launch the viewer, wait for its window, send
keys, take screenshots and read their pixels, and map world coordinates to
window pixels through the viewer's camera.

Standard library only. Every wait has a bound, and every process started here
is ended again: explicitly by stop(), on SIGTERM/SIGINT/SIGHUP through the
handler that install_signal_cleanup() sets, and by the kernel (parent-death
signal) should the test process itself be killed.
"""

import ctypes
import math
import os
import select
import signal
import subprocess
import sys
import tempfile
import time
import unittest

WINDOW_TITLE = "Zorvane"
WINDOW_SIZE = 650  # pixels, square; the virtual screen has exactly this size

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
RED = (255, 0, 0)
YELLOW = (255, 255, 0)

# Processes started here and not yet stopped, ended by the signal handler.
_live = set()


def _die_with_parent():
    """In the child before exec: get SIGTERM when the test process dies."""
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(1, signal.SIGTERM)  # 1 = PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def _end_process(process, grace=3.0):
    """Terminates a process (then kills it) and reaps it; safe to repeat."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=grace)
    _live.discard(process)


def install_signal_cleanup():
    """Ends every process started here when the test process is told to stop
    (for instance by a test runner's timeout), then exits with status 1."""

    def handler(signum, _frame):
        for process in list(_live):
            try:
                _end_process(process, grace=1.0)
            except Exception:  # keep ending the others
                pass
        sys.stderr.write("e2e: stopped by signal %d\n" % signum)
        os._exit(1)

    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, handler)


def _spawn(argv, **kwargs):
    process = subprocess.Popen(argv, preexec_fn=_die_with_parent, **kwargs)
    _live.add(process)
    return process


class VirtualDisplay:
    """An Xvfb server on a display number it picks itself (-displayfd), with
    one 650 x 650 x 24 screen. Use as a context manager or call start/stop.

    It runs with -noreset: by default an X server resets whenever its last
    client disconnects, and a client connecting during that reset is refused.
    The viewer's display probe stays connected while GLUT connects, but each
    viewer or xdotool call that ends would race with the next client."""

    def __init__(self, width=WINDOW_SIZE, height=WINDOW_SIZE, start_timeout=15.0, extra_args=("-noreset",)):
        self.width = width
        self.extra_args = extra_args
        self.height = height
        self.start_timeout = start_timeout
        self.process = None
        self.name = None

    def start(self):
        read_end, write_end = os.pipe()
        try:
            self.process = _spawn(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 "%dx%dx24" % (self.width, self.height), "-nolisten", "tcp"] + list(self.extra_args),
                pass_fds=(write_end,), stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(write_end)
            write_end = None
            number = self._read_display_number(read_end)
        except BaseException:
            self.stop()
            raise
        finally:
            if write_end is not None:
                os.close(write_end)
            os.close(read_end)
        self.name = ":" + number
        return self

    def _read_display_number(self, fd):
        deadline = time.monotonic() + self.start_timeout
        text = b""
        while not text.endswith(b"\n"):
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise TimeoutError("Xvfb did not report a display within %.0f s" % self.start_timeout)
            ready, _, _ = select.select([fd], [], [], remaining)
            if not ready:
                continue
            chunk = os.read(fd, 32)
            if not chunk:
                raise RuntimeError("Xvfb ended before reporting its display (status %s)"
                                   % self.process.poll())
            text += chunk
        return text.decode().strip()

    def stop(self):
        if self.process is not None:
            _end_process(self.process)
            self.process = None

    def env(self, **extra):
        """The current environment with DISPLAY set to this server."""
        env = dict(os.environ)
        env["DISPLAY"] = self.name
        env.update(extra)
        return env

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        return False


def free_display_name():
    """A display name with no X server behind it (no socket, no lock file)."""
    for number in range(987, 1100):
        if not os.path.exists("/tmp/.X11-unix/X%d" % number) and \
                not os.path.exists("/tmp/.X%d-lock" % number):
            return ":%d" % number
    raise RuntimeError("no unused display number found")


class ViewerExited(Exception):
    """The viewer ended before it showed its window."""

    def __init__(self, status, output):
        super().__init__("sismap ended with status %s before its window appeared; output:\n%s"
                         % (status, output))
        self.status = status
        self.output = output


class Frame:
    """One screenshot: RGB pixels addressed by (column, row) from the top left."""

    def __init__(self, width, height, rgb):
        self.width = width
        self.height = height
        self.rgb = rgb

    @staticmethod
    def from_ppm(data):
        fields = []
        pos = 0
        while len(fields) < 4:  # magic, width, height, maximum value
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            start = pos
            while not data[pos:pos + 1].isspace():
                pos += 1
            fields.append(data[start:pos])
        pos += 1  # the single white-space character before the raster
        if fields[0] != b"P6":
            raise ValueError("not a binary PPM: %r" % fields[0])
        width, height, maximum = int(fields[1]), int(fields[2]), int(fields[3])
        raster = data[pos:]
        if maximum > 255:  # 16-bit samples, most significant byte first
            raster = raster[0::2]
        if len(raster) < width * height * 3:
            raise ValueError("PPM raster too short")
        return Frame(width, height, bytes(raster[:width * height * 3]))

    def pixel(self, col, row):
        if not (0 <= col < self.width and 0 <= row < self.height):
            return None
        i = (row * self.width + col) * 3
        return tuple(self.rgb[i:i + 3])

    def box(self, col, row, radius):
        """The pixels of the (2 radius + 1)-square centred on (col, row) that lie in the frame."""
        out = []
        for r in range(row - radius, row + radius + 1):
            for c in range(col - radius, col + radius + 1):
                p = self.pixel(c, r)
                if p is not None:
                    out.append(p)
        return out

    def area(self, left, top, right, bottom):
        """Pixels of the rectangle, edges included, clipped to the frame."""
        out = []
        for r in range(max(top, 0), min(bottom, self.height - 1) + 1):
            for c in range(max(left, 0), min(right, self.width - 1) + 1):
                out.append(self.pixel(c, r))
        return out

    def crop(self, left, top, right, bottom):
        """Raw bytes of a rectangle, for comparing one area between frames."""
        return bytes(b for p in self.area(left, top, right, bottom) for b in p)

    def save(self, path):
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height))
            f.write(self.rgb)
        return path


def same_colour(a, b, tolerance=3):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def mark_colour(magnitude):
    """Colour of a mark: red with green (8 - m) / 5, clamped as GL clamps it."""
    green = min(max((8.0 - magnitude) / 5.0, 0.0), 1.0)
    return (255, int(round(green * 255)), 0)


class Camera:
    """The viewer's fixed camera: eye at height 18 over the outline's centre,
    60 degree field of view, square window; plus the view transform (zoom
    about the centre, then pan) that the viewer applies to map vertices."""

    def __init__(self, min_x, min_y, max_x, max_y, size=WINDOW_SIZE,
                 eye_height=18.0, field_of_view=60.0):
        self.min_x, self.min_y, self.max_x, self.max_y = min_x, min_y, max_x, max_y
        self.centre_x = (max_x + min_x) / 2.0
        self.centre_y = (max_y + min_y) / 2.0
        self.size = size
        self.half_width = eye_height * math.tan(math.radians(field_of_view / 2.0))

    def plane_to_pixel(self, x, y):
        """Window position (fractional column, row) of a point drawn at (x, y, 0)."""
        ndc_x = (x - self.centre_x) / self.half_width
        ndc_y = (y - self.centre_y) / self.half_width
        return (ndc_x + 1.0) / 2.0 * self.size, (1.0 - ndc_y) / 2.0 * self.size

    def map_to_pixel(self, x, y, zoom=1.0, pan=(0.0, 0.6)):
        """Window position of a map point (outline vertex or mark centre)."""
        drawn_x = (x - self.centre_x) * zoom + self.centre_x + pan[0]
        drawn_y = (y - self.centre_y) * zoom + self.centre_y + pan[1]
        return self.plane_to_pixel(drawn_x, drawn_y)

    def plane_area(self, left, bottom, right, top, shrink=0):
        """Integer pixel rectangle (left, top, right, bottom) strictly inside a
        drawing-plane rectangle, shrunk by `shrink` pixels on every side."""
        c0, r0 = self.plane_to_pixel(left, top)
        c1, r1 = self.plane_to_pixel(right, bottom)
        return (math.ceil(c0) + shrink, math.ceil(r0) + shrink,
                math.floor(c1) - 1 - shrink, math.floor(r1) - 1 - shrink)


class Viewer:
    """One run of the sismap binary on a display. `prefix` goes before the
    binary on the command line (for instance a valgrind invocation)."""

    def __init__(self, binary, args, display, prefix=(), env=None):
        self.argv = list(prefix) + [binary] + list(args)
        self.env = dict(env) if env is not None else display.env()
        self.display = display
        self.process = None
        self.window = None
        self._stdout = None
        self._output = ""

    def start(self):
        self._stdout = tempfile.TemporaryFile()
        self.process = _spawn(self.argv, env=self.env, stdin=subprocess.DEVNULL,
                              stdout=self._stdout, stderr=subprocess.STDOUT)
        return self

    def output(self):
        """Everything the viewer wrote so far (standard output and error)."""
        if self._stdout is None:
            return self._output
        self._stdout.flush()
        self._stdout.seek(0)
        return self._stdout.read().decode(errors="replace")

    def _xdotool(self, *args, timeout=10.0, check=True):
        return subprocess.run(["xdotool"] + list(args), env=self.env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=timeout, check=check)

    def wait_for_window(self, timeout=20.0):
        """Waits until the viewer's window is mapped and returns its id.
        Raises ViewerExited if the viewer ends first, TimeoutError after
        `timeout` seconds."""
        deadline = time.monotonic() + timeout
        pattern = "^%s$" % WINDOW_TITLE
        while True:
            if self.process.poll() is not None:
                raise ViewerExited(self.process.returncode, self.output())
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise TimeoutError("no mapped '%s' window within %.0f s; output:\n%s"
                                   % (WINDOW_TITLE, timeout, self.output()))
            try:
                found = subprocess.run(
                    ["timeout", "%.1f" % min(1.0, max(remaining, 0.1)), "xdotool", "search",
                     "--sync", "--onlyvisible", "--name", pattern],
                    env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                    stderr=subprocess.DEVNULL, timeout=5.0)
            except subprocess.TimeoutExpired:
                continue
            ids = found.stdout.split()
            if ids:
                self.window = ids[0].decode()
                return self.window

    def keys(self, *names, delay_ms=2):
        """Sends key presses (xdotool key names) to the window, in order."""
        self._xdotool("key", "--window", self.window, "--delay", str(delay_ms), *names,
                      timeout=10.0 + len(names) * 0.1)

    def screenshot(self):
        shot = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                              env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=20.0, check=True)
        return Frame.from_ppm(shot.stdout)

    def wait_for_frame(self, check, timeout=10.0, what="the expected picture"):
        """Takes screenshots until check(frame) returns None (the picture is as
        expected) and returns that frame. check returns a text saying what is
        still wrong otherwise. After `timeout` seconds raises AssertionError
        with that text and the path of the last frame, saved for inspection."""
        deadline = time.monotonic() + timeout
        while True:
            frame = self.screenshot()
            problem = check(frame)
            if problem is None:
                return frame
            if self.process.poll() is not None:
                break
            if time.monotonic() >= deadline:
                break
            time.sleep(0.05)
        path = os.path.join(artifact_dir(), "failed-%s.ppm" % "".join(
            ch if ch.isalnum() else "-" for ch in what)[:60])
        frame.save(path)
        raise AssertionError("%s: %s (viewer status %s; last screenshot %s)"
                             % (what, problem, self.process.poll(), path))

    def wait_exit(self, timeout=10.0):
        """Waits for the viewer to end; returns its exit status."""
        try:
            status = self.process.wait(timeout=timeout)
        finally:
            if self.process.poll() is not None:
                _live.discard(self.process)
        return status

    def stop(self):
        """Ends the viewer if it still runs; returns its exit status."""
        if self.process is None:
            return None
        _end_process(self.process)
        if self._stdout is not None:
            self._output = self.output()
            self._stdout.close()
            self._stdout = None
        return self.process.returncode


def artifact_dir():
    """Where failing screenshots go: $SISMAP_E2E_ARTIFACTS or ./e2e-artifacts."""
    path = os.environ.get("SISMAP_E2E_ARTIFACTS") or os.path.join(os.getcwd(), "e2e-artifacts")
    os.makedirs(path, exist_ok=True)
    return path


class SharedDisplayTestCase(unittest.TestCase):
    """A test class whose tests share one virtual X server, started before the
    first test and stopped after the last, whatever happens in between."""

    @classmethod
    def setUpClass(cls):
        cls.display = VirtualDisplay()
        cls.display.start()
        cls.addClassCleanup(cls.display.stop)
