#!/usr/bin/env python3
"""valgrind memcheck of a short session of the real sismap binary under a
private Xvfb, on the bundled sample: start-up frame, play for a second, a
round of keys, Escape.

Usage: test_valgrind.py PATH_TO_SISMAP SUPPRESSIONS_FILE

Passes when the viewer ends with status 0 after Escape and memcheck reports
no error outside the suppressions (tests/valgrind.supp: the dynamic loader
and Mesa's driver only): no invalid read or write, no use of uninitialised
values, no definitely or indirectly lost block. The ERROR SUMMARY and LEAK
SUMMARY lines are printed; the whole log stays in the artifact directory.
"""

import os
import re
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402
from harness import RED, Viewer, VirtualDisplay, same_colour  # noqa: E402

BINARY = None        # set from the command line
SUPPRESSIONS = None  # set from the command line
SAMPLES = os.path.join(os.path.dirname(os.path.dirname(HERE)), "samples")

# The binary under memcheck on a software renderer is slow: every wait is long
# but bounded.
WINDOW_TIMEOUT = 120.0
FRAME_TIMEOUT = 180.0
EXIT_TIMEOUT = 120.0


def legend_problem(frame):
    reds = sum(1 for i in range(0, len(frame.rgb), 3) if same_colour(frame.rgb[i:i + 3], RED))
    return None if reds >= 30 else "legend not drawn yet (%d red pixels)" % reds


class ValgrindSessionTest(unittest.TestCase):
    def test_session_on_the_sample_is_clean(self):
        log_path = os.path.join(harness.artifact_dir(), "valgrind-session.log")
        prefix = ["valgrind", "--tool=memcheck", "--error-exitcode=99", "--leak-check=full",
                  "--errors-for-leak-kinds=definite,indirect", "--track-origins=yes",
                  # Mesa's driver is unloaded before the leak check; keeping its
                  # debug information keeps its object name in the stacks, which
                  # the suppressions match on.
                  "--keep-debuginfo=yes", "--num-callers=40",
                  "--suppressions=" + SUPPRESSIONS, "--log-file=" + log_path]
        started = time.monotonic()
        with VirtualDisplay() as display:
            viewer = Viewer(BINARY, [os.path.join(SAMPLES, "california.txt"),
                                     os.path.join(SAMPLES, "california_quakes.txt")],
                            display, prefix=prefix)
            viewer.start()
            self.addCleanup(viewer.stop)
            viewer.wait_for_window(timeout=WINDOW_TIMEOUT)
            viewer.wait_for_frame(legend_problem, timeout=FRAME_TIMEOUT, what="valgrind start-up frame")
            viewer.keys("p")
            time.sleep(1.0)
            viewer.keys("g", "h", "a", "z", "5", "Left", "Right", "Up", "Down", "0", "o", "p")
            time.sleep(1.0)
            self.assertIsNone(viewer.process.poll(), "viewer ended early:\n" + viewer.output())
            # Escape ends the viewer, often before xdotool sends the key
            # release, so xdotool's own status is not checked.
            subprocess.run(["xdotool", "key", "--window", viewer.window, "Escape"], env=viewer.env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30)
            status = viewer.wait_exit(timeout=EXIT_TIMEOUT)
            output = viewer.output()
        elapsed = time.monotonic() - started

        with open(log_path, errors="replace") as f:
            log = f.read()
        summary = re.findall(r"ERROR SUMMARY: .*", log)
        leaks = re.findall(r"(?:definitely|indirectly|possibly) lost: .*|still reachable: .*|suppressed: .* blocks", log)
        print("\nvalgrind session: %.1f s, status %s, log %s" % (elapsed, status, log_path))
        for line in summary[-1:] + leaks:
            print("  " + line)

        self.assertIn("Exiting...\n", output)
        self.assertEqual(status, 0, "valgrind reported errors (status 99) or the viewer failed; see %s\n%s"
                         % (log_path, log[-6000:]))
        self.assertTrue(summary, "no ERROR SUMMARY in %s" % log_path)
        self.assertRegex(summary[-1], r"^ERROR SUMMARY: 0 errors from 0 contexts")
        for kind in ("Invalid read", "Invalid write", "uninitialised", "definitely lost in",
                     "indirectly lost in", "Invalid free"):
            self.assertNotIn(kind, log)
        if "no leaks are possible" not in log:
            self.assertRegex(log, r"definitely lost: 0 bytes in 0 blocks")
            self.assertRegex(log, r"indirectly lost: 0 bytes in 0 blocks")


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: test_valgrind.py PATH_TO_SISMAP SUPPRESSIONS_FILE")
    BINARY = os.path.abspath(sys.argv[1])
    SUPPRESSIONS = os.path.abspath(sys.argv[2])
    harness.install_signal_cleanup()
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[3:])
