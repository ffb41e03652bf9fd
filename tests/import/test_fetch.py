"""sismap-import fetch against a local FDSN event service (fake_fdsn_service):
the real binary, over real HTTP through libcurl, on 127.0.0.1 only.

Covers the splitting of slices on cap refusals (the 400 text and 413) and on
answers cut at the limit, events on slice boundaries kept once, a region
across 180 degrees as two boxes, empty answers (204, 404 "no data"), retries
(503, 429 with Retry-After, a body cut short), failures that stop the fetch
and leave an earlier output as it was, Ctrl-C, and bad command lines.

Usage: test_fetch.py PATH/TO/sismap-import
"""

import datetime
import email.utils
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fake_fdsn_service import STANDARD_PARAMETERS, Event, Fault, FakeService  # noqa: E402

BINARY = None
EARLIER_OUTPUT = "year,month,day,time,latitude,longitude,magnitude\n2001,01,01,000000.00,1.0000,2.0000,3.00\n"


def viewer_line(event):
    t = event.time
    return "%04d,%02d,%02d,%02d%02d%02d.%02d,%.4f,%.4f,%.2f,%.2f" % (
        t.year, t.month, t.day, t.hour, t.minute, t.second, t.microsecond // 10000, event.latitude,
        event.longitude, event.magnitude, event.depth)


def expected_output(events):
    lines = [viewer_line(e) for e in sorted(events, key=lambda e: e.time)]
    return "year,month,day,time,latitude,longitude,magnitude,depth\n" + "".join(l + "\n" for l in lines + lines[-1:])


class FetchTest(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory(prefix="sismap-fetch-")
        self.output = os.path.join(self.scratch.name, "quakes.txt")

    def tearDown(self):
        self.scratch.cleanup()

    def fetch(self, service, *args, timeout=120):
        argv = [BINARY, "fetch", "--service", service.base_url, "--retry-wait", "0.01"] + list(args) + [self.output]
        done = subprocess.run(argv, capture_output=True, text=True, timeout=timeout)
        return done.returncode, done.stderr

    def read_output(self):
        with open(self.output) as f:
            return f.read()

    def assert_output_left_alone(self):
        self.assertEqual(self.read_output(), EARLIER_OUTPUT)
        self.assertEqual(os.listdir(self.scratch.name), ["quakes.txt"], "a temporary file was left behind")

    def assert_polite_queries(self, service):
        version = subprocess.run([BINARY, "--version"], capture_output=True, text=True).stdout.split()[-1]
        self.assertEqual(service.most_in_flight, 1)
        for parameters, agent in service.queries:
            self.assertLessEqual(set(parameters), STANDARD_PARAMETERS)
            self.assertEqual(parameters["limit"], "20000")
            self.assertIn("sismap", agent)
            self.assertIn(version, agent)

    def test_cap_refusals_split_until_every_slice_is_whole(self):
        # Eight days: an event at each midnight (the split points fall on
        # them) and three in each day; a cap of 6 leaves one-day slices.
        events = []
        for day in range(1, 10):
            events.append(Event("mid%d" % day, "2024-01-%02dT00:00:00" % day, 10.0 + day, 20.0, 3.0))
        for day in range(1, 9):
            for hour in (6, 12, 18):
                events.append(Event("d%dh%d" % (day, hour), "2024-01-%02dT%02d:00:00.25" % (day, hour),
                                    -5.0, -70.0 - hour, 4.5))
        kept = [e for e in events if e.id != "mid9"]  # --to excludes its own instant
        for cap_status in (400, 413):
            with self.subTest(cap_status=cap_status), FakeService(events, cap=6, cap_status=cap_status) as service:
                status, err = self.fetch(service, "--from", "2024-01-01", "--to", "2024-01-09")
                self.assertEqual(status, 0, err)
                self.assertEqual(self.read_output(), expected_output(kept))
                self.assertIn("read 40 events (FDSN text from %s: 15 queries, 8 slices), kept 32; dropped 7 "
                              "repeated where answers meet, " % service.base_url, err)
                self.assertIn("1 outside --from/--to", err)
                self.assertEqual(service.queries[0][0]["starttime"], "2024-01-01T00:00:00")
                self.assertEqual(service.queries[0][0]["endtime"], "2024-01-09T00:00:00")
                self.assertEqual(service.queries[1][0]["endtime"], "2024-01-05T00:00:00")
                self.assert_polite_queries(service)

    def test_answers_cut_at_the_limit_are_split(self):
        # 25,000 events 3 s apart: the first answer stops at 20,000 without
        # a word; the halves hold 14,401 and 10,600, sharing the one on the
        # boundary (noon).
        start = datetime.datetime(2024, 3, 1)
        events = [Event("e%d" % i, (start + datetime.timedelta(seconds=3 * i)).isoformat(), 1.0, 2.0, 2.5)
                  for i in range(25000)]
        with FakeService(events) as service:
            status, err = self.fetch(service, "--from", "2024-03-01", "--to", "2024-03-02")
            self.assertEqual(status, 0, err)
            self.assertEqual(self.read_output(), expected_output(events))
            self.assertIn("read 25001 events (FDSN text from %s: 3 queries, 2 slices), kept 25000; dropped 1 "
                          "repeated where answers meet" % service.base_url, err)
            self.assert_polite_queries(service)

    def test_region_across_the_antimeridian_is_two_boxes_and_empty_answers_are_empty(self):
        events = [Event("fiji", "2024-05-01T01:00:00", -17.5, 178.2, 4.1),
                  Event("edge", "2024-05-02T01:00:00", -20.0, 180.0, 4.2),
                  Event("far", "2024-05-03T01:00:00", -18.0, 0.0, 4.3)]
        for no_data_status in (204, 404):
            with self.subTest(no_data_status=no_data_status), \
                    FakeService(events, no_data_status=no_data_status) as service:
                status, err = self.fetch(service, "--from", "2024-05-01", "--to", "2024-06-01",
                                         "--region", "-30,-10,170,-170", "--min-mag", "4")
                self.assertEqual(status, 0, err)
                self.assertEqual(self.read_output(), expected_output(events[:2]))
                boxes = [(q["minlongitude"], q["maxlongitude"], q["minlatitude"], q["maxlatitude"], q["minmagnitude"])
                         for q, _ in service.queries]
                self.assertEqual(boxes, [("170", "180", "-30", "-10", "4"), ("-180", "-170", "-30", "-10", "4")])
                self.assertIn("2 queries, 2 slices), kept 2;", err)

    def test_depth_range_is_asked_of_the_service_and_kept(self):
        events = [Event("shallow", "2024-05-01T01:00:00", 38.0, 142.0, 4.1, depth=5.0),
                  Event("slab", "2024-05-02T01:00:00", 38.5, 141.0, 4.2, depth=60.0),
                  Event("edge", "2024-05-02T02:00:00", 38.5, 141.0, 4.2, depth=100.0),
                  Event("deep", "2024-05-03T01:00:00", 39.0, 138.0, 4.3, depth=350.0)]
        with FakeService(events) as service:
            status, err = self.fetch(service, "--from", "2024-05-01", "--to", "2024-06-01", "--depth", "10,100")
            self.assertEqual(status, 0, err)
            self.assertEqual(self.read_output(), expected_output(events[1:3]))
            self.assertEqual([(q["mindepth"], q["maxdepth"]) for q, _ in service.queries], [("10", "100")])
            self.assertIn("0 without a depth, 0 outside --depth", err)
            self.assert_polite_queries(service)

    def test_longitudes_across_180_and_fetches_that_keep_nothing(self):
        events = [Event("fiji", "2024-05-01T01:00:00", -17.5, 178.2, 4.1),
                  Event("tonga", "2024-05-02T01:00:00", -20.0, -175.0, 4.2)]
        with FakeService(events) as service:
            status, err = self.fetch(service, "--from", "2024-05-01", "--to", "2024-06-01",
                                     "--region", "-30,-10,170,-170", "--longitudes", "0,360")
            self.assertEqual(status, 0, err)
            self.assertIn(",-20.0000,185.0000,4.20,10.00\n", self.read_output())
            with open(self.output, "w") as f:
                f.write(EARLIER_OUTPUT)
            status, err = self.fetch(service, "--from", "2024-05-01", "--to", "2024-06-01", "--min-mag", "6")
            self.assertEqual(status, 1, err)
            self.assertIn("no event is kept, so nothing is written", err)
            self.assert_output_left_alone()

    def test_busy_service_and_cut_bodies_are_asked_again(self):
        events = [Event("a", "2024-02-01T10:00:00", 35.0, 139.0, 5.0)]
        with FakeService(events) as service:
            # Retry-After as an HTTP date (up to 3 s ahead, as dates are whole
            # seconds) and in seconds.
            service.faults = [Fault("status", 503, "Service busy\n",
                                    retry_after=lambda: email.utils.formatdate(time.time() + 3, usegmt=True)),
                              Fault("status", 500, "Oops\n"),
                              Fault("status", 429, "Slow down\n", retry_after="1"),
                              Fault("cut")]
            began = time.monotonic()
            status, err = self.fetch(service, "--from", "2024-02-01", "--to", "2024-02-02")
            self.assertGreaterEqual(time.monotonic() - began, 2.0)
            self.assertEqual(status, 0, err)
            self.assertEqual(self.read_output(), expected_output(events))
            name = service.base_url
            self.assertRegex(err, r"%s answered HTTP 503; waiting [1-3] s as its Retry-After asks before try 2 of 6\n"
                             % re.escape(name))
            self.assertIn("%s answered HTTP 500; waiting 0.02 s before try 3 of 6\n" % name, err)
            self.assertIn("%s answered HTTP 429; waiting 1 s as its Retry-After asks before try 4 of 6\n" % name, err)
            self.assertIn("%s: answer cut short; waiting 0.08 s before try 5 of 6\n" % name, err)
            self.assertIn("5 queries, 1 slice), kept 1;", err)
            self.assert_polite_queries(service)

    def test_failures_stop_the_fetch_and_leave_the_output_alone(self):
        events = [Event("a", "2024-02-01T10:00:00", 35.0, 139.0, 5.0)]
        cases = [
            ("still failing", [Fault("status", 500, "Internal trouble\nsecond line\n")] * 3, ["--retries", "2"],
             ["still answered HTTP 500 after 3 tries to ", "\n  Internal trouble\n  second line"], 3),
            ("another refusal", [Fault("status", 400, "Error 400: Bad Request\n\nUnknown parameter foo\n")], [],
             ["answered HTTP 400 to ", "\n  Error 400: Bad Request\n  Unknown parameter foo"], 1),
            ("not FDSN text", [Fault("status", 200, "<html><body>Maintenance</body></html>\n")], [],
             ["answered HTTP 200 to ", "but not with FDSN event text:\n  <html>"], 1),
            ("bad row", [Fault("status", 200, "#EventID|Time|Latitude|Longitude|Magnitude\nx|soon|1|2|3\n")], [],
             ["answer to ", ":2: time \"soon\" is not an ISO 8601 date and time"], 1),
        ]
        for name, faults, args, messages, queries in cases:
            with self.subTest(name), FakeService(events) as service:
                with open(self.output, "w") as f:
                    f.write(EARLIER_OUTPUT)
                service.faults = list(faults)
                status, err = self.fetch(service, "--from", "2024-02-01", "--to", "2024-02-02", *args)
                self.assertEqual(status, 1, err)
                self.assertTrue(err.startswith("sismap-import: %s" % service.base_url), err)
                for message in messages:
                    self.assertIn(message, err)
                self.assertEqual(len(service.queries), queries)
                self.assert_output_left_alone()

    def test_more_events_in_two_seconds_than_an_answer_holds_fails(self):
        events = [Event("a%d" % i, "2024-02-01T10:00:00.%02d" % i, 35.0, 139.0, 5.0) for i in range(3)]
        with FakeService(events, cap=2, cap_status=413) as service:
            with open(self.output, "w") as f:
                f.write(EARLIER_OUTPUT)
            status, err = self.fetch(service, "--from", "2024-02-01", "--to", "2024-02-02")
            self.assertEqual(status, 1, err)
            self.assertIn("holds more events than one answer may give (20000) within two seconds, from "
                          "2024-02-01T10:00:00; narrow --region or raise --min-mag", err)
            self.assertLess(len(service.queries), 40)
            self.assert_output_left_alone()

    def test_interrupt_leaves_the_output_alone(self):
        events = [Event("a", "2024-02-01T10:00:00", 35.0, 139.0, 5.0)]
        with FakeService(events) as service:
            with open(self.output, "w") as f:
                f.write(EARLIER_OUTPUT)
            service.faults = [Fault("hang", seconds=30)]
            process = subprocess.Popen([BINARY, "fetch", "--service", service.base_url, "--from", "2024-02-01",
                                        self.output], stderr=subprocess.PIPE)
            try:
                deadline = time.monotonic() + 30
                while not service.queries and time.monotonic() < deadline:
                    time.sleep(0.05)
                self.assertTrue(service.queries, "no query arrived")
                process.send_signal(signal.SIGINT)
                process.wait(timeout=30)
            finally:
                if process.poll() is None:
                    process.kill()
                    process.wait()
                process.stderr.close()
            self.assertEqual(process.returncode, -signal.SIGINT)
            self.assert_output_left_alone()

    def test_bad_command_lines_exit_with_two(self):
        for args in (["--service", "nowhere", "--from", "2024-01-01"],
                     ["--service", "ftp://example.org/fdsnws/event/1", "--from", "2024-01-01"],
                     ["--service", "http://127.0.0.1:9/fdsnws/station/1", "--from", "2024-01-01"],
                     ["--to", "2024-01-01"],
                     ["--from", "2999-01-01"],
                     ["--from", "2024-02-01", "--to", "2024-01-01"],
                     ["--from", "2024-01-01", "--retry-wait", "-1"],
                     ["--from", "2024-01-01", "--retries", "many"],
                     ["--from", "2024-01-01", "--region", "10,0,0,10"],
                     ["--from", "2024-01-01", "--depth", "100,10"]):
            with self.subTest(args=args):
                done = subprocess.run([BINARY, "fetch"] + args + [self.output], capture_output=True, text=True)
                self.assertEqual(done.returncode, 2, done.stderr)
                self.assertFalse(os.path.exists(self.output))


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
