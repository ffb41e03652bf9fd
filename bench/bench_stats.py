#!/usr/bin/python3
"""Speed of sismap-stats against the obvious numpy/pandas script.

Usage: /usr/bin/python3 bench/bench_stats.py SISMAP_STATS [REPETITIONS] [WORK_DIR]

A generated catalogue in the viewer's layout, 1,000,000 events (about 44 MB)
over 20 years of the 365-day calendar, magnitudes of Gutenberg-Richter law
with b = 1 above 1.0 in bins of 0.1, its last line repeated as sismap-import
writes it. `sismap-stats --json --mc 1.5` and the pandas script (read the
file, count the repeated last line once, b, its error and a above Mc) run
alternately in the same run. Prints the medians and their ratio; the target
is at most 0.5, the aim 0.1. Both must find the same b. The file is written
to WORK_DIR (default: a fresh temporary folder) and removed at the end.
"""

import json
import math
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

EVENTS = 1_000_000
YEARS = 20
MC = "1.5"
DAYS_IN_MONTH = [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]

PANDAS_SCRIPT = r'''
import json
import sys

import numpy as np
import pandas as pd

mc = float(sys.argv[2])
width = 0.1
df = pd.read_csv(sys.argv[1])
if len(df) > 1 and df.iloc[-1].equals(df.iloc[-2]):
    df = df.iloc[:-1]
m = df["magnitude"].to_numpy()
m = m[m > 0]
above = m[np.round(m / width) >= round(mc / width)]
n = len(above)
mean = above.mean()
b = np.log10(np.e) / (mean - (mc - width / 2))
b_error = 2.30 * b * b * np.sqrt(((above - mean) ** 2).sum() / (n * (n - 1)))
print(json.dumps({"events": int(len(m)), "b": b, "b_error": b_error, "a": np.log10(n) + b * mc,
                  "events_above_mc": int(n)}))
'''


def write_catalogue(path):
    rng = random.Random(22)
    beta = math.log(10)  # b = 1
    step = YEARS * 365 * 86400 / EVENTS
    lines = ["year,month,day,time,latitude,longitude,magnitude\n"]
    for i in range(EVENTS):
        t = i * step
        day, seconds = divmod(t, 86400)
        year, day_of_year = divmod(int(day), 365)
        month = 0
        while day_of_year >= DAYS_IN_MONTH[month]:
            day_of_year -= DAYS_IN_MONTH[month]
            month += 1
        magnitude = round(0.95 + rng.expovariate(beta), 1)
        lines.append("%d,%02d,%02d,%02d%02d%05.2f,%.4f,%.4f,%.2f\n"
                     % (2000 + year, month + 1, day_of_year + 1, seconds // 3600, seconds % 3600 // 60,
                        seconds % 60, rng.uniform(32, 42), rng.uniform(-125, -114), magnitude))
    lines.append(lines[-1])
    with open(path, "w") as out:
        out.write("".join(lines))


def timed(argv):
    start = time.perf_counter()
    result = subprocess.run(argv, check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return time.perf_counter() - start, json.loads(result.stdout)


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    binary = os.path.abspath(sys.argv[1])
    repetitions = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    work = sys.argv[3] if len(sys.argv) > 3 else tempfile.mkdtemp(prefix="sismap-stats-bench-")
    os.makedirs(work, exist_ok=True)
    try:
        catalogue = os.path.join(work, "catalogue.txt")
        script = os.path.join(work, "pandas_b.py")
        with open(script, "w") as f:
            f.write(PANDAS_SCRIPT)
        write_catalogue(catalogue)
        print("Catalogue: %d events, %.0f MB, last line repeated" % (EVENTS, os.path.getsize(catalogue) / 1e6))
        ours, theirs = [], []
        for _ in range(repetitions):
            seconds, our_answer = timed([binary, "--json", "--mc", MC, catalogue])
            ours.append(seconds)
            seconds, their_answer = timed(["/usr/bin/python3", script, catalogue, MC])
            theirs.append(seconds)
        for key in ("events", "events_above_mc"):
            if our_answer[key] != their_answer[key]:
                raise SystemExit("%s: sismap-stats %s, pandas %s" % (key, our_answer[key], their_answer[key]))
        for key in ("b", "b_error", "a"):
            if abs(our_answer[key] - their_answer[key]) > 1e-5 * abs(their_answer[key]):
                raise SystemExit("%s: sismap-stats %s, pandas %s" % (key, our_answer[key], their_answer[key]))
        ratio = statistics.median(ours) / statistics.median(theirs)
        print("  sismap-stats   median %.3f s  runs %s" % (statistics.median(ours), " ".join("%.3f" % t for t in ours)))
        print("  pandas script  median %.3f s  runs %s"
              % (statistics.median(theirs), " ".join("%.3f" % t for t in theirs)))
        print("  ratio %.3f (target at most 0.5, aim 0.1); both found b = %.4f +- %.4f above Mc %s (%d events)"
              % (ratio, our_answer["b"], our_answer["b_error"], MC, our_answer["events_above_mc"]))
    finally:
        if len(sys.argv) <= 3:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
