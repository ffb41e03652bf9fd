#!/usr/bin/python3
"""Fetch benchmark of sismap-import fetch, against what a user would do
without it when the service has no cap: one curl download of the whole range
and sismap-import catalogue on the file.

Usage: /usr/bin/python3 bench/bench_fetch.py SISMAP_IMPORT [REPETITIONS]

Both talk to the local FDSN event service of the tests (127.0.0.1), holding
100,000 events over 30 days. The fetch asks for 20,000 at a time, so its
answers are cut and split three times over (15 queries, 8 slices, 7 answers
of 20,000 events thrown away); the download gets all 100,000 in one answer.
Prints both medians and their ratio: the cost of working under the cap,
which the user would otherwise pay by hand. The service, written in Python,
is much of both times; both pay it for every event it sends.
"""

import datetime
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "import"))
from fake_fdsn_service import Event, FakeService  # noqa: E402

EVENTS = 100_000


def timed(argv):
    began = time.monotonic()
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - began


def main():
    binary = os.path.abspath(sys.argv[1])
    repetitions = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    start = datetime.datetime(2024, 1, 1)
    step = 30 * 86400 / EVENTS
    events = [Event("e%d" % i, (start + datetime.timedelta(seconds=i * step)).isoformat(timespec="milliseconds"),
                    (i % 1800) / 10 - 90, (i % 3600) / 10 - 180, 1 + (i % 60) / 10) for i in range(EVENTS)]
    fetch_times, download_times = [], []
    with tempfile.TemporaryDirectory(prefix="sismap-bench-fetch-") as work, FakeService(events) as service:
        output = os.path.join(work, "quakes.txt")
        download = os.path.join(work, "query.txt")
        url = service.base_url + ("/query?starttime=2024-01-01T00:00:00&endtime=2024-02-01T00:00:00"
                                  "&orderby=time-asc&limit=200000&format=text")
        for _ in range(repetitions):
            fetch_times.append(timed([binary, "fetch", "--service", service.base_url, "--from", "2024-01-01",
                                      "--to", "2024-02-01", "--quiet", output]))
            fetched = open(output).read()
            download_times.append(timed(["curl", "-sf", "-o", download, url]) +
                                  timed([binary, "catalogue", "--quiet", download, output]))
            if open(output).read() != fetched:
                sys.exit("the fetch and the download give different catalogues")
    fetch, baseline = statistics.median(fetch_times), statistics.median(download_times)
    print("fetch, %d events in 15 queries:         %.2f s (median of %d)" % (EVENTS, fetch, repetitions))
    print("curl of one uncapped answer + catalogue: %.2f s (median of %d)" % (baseline, repetitions))
    print("ratio: %.2f" % (fetch / baseline))


if __name__ == "__main__":
    main()
