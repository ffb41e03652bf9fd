#!/usr/bin/python3
"""Speed of sismap-stats decluster and map against the numpy/scipy scripts a
user would write.

Usage: /usr/bin/python3 bench/bench_stats_commands.py SISMAP_STATS [REPETITIONS] [WORK_DIR]

Declustering: 100,000 events over 10 years in a 10-by-10-degree box, a
quarter of them in 500 sequences (aftershocks within the mainshock's
Gardner-Knopoff windows), magnitudes of b = 1 from 1.0. The numpy script
visits the events largest first and, for each free one, takes the free
events in its time window (found with searchsorted on the times) within its
distance. Target: sismap-stats at most 0.1 of its time; both must keep the
same events.

Map: 1,000,000 events over 20 by 20 degrees, a 1-degree grid (441 nodes)
with the 200 nearest events of each, Mc by maximum curvature. The scipy
script reads the file with pandas, builds a cKDTree of the epicentres on the
unit sphere, queries the nodes and fits b node by node. Target: at most 0.2
of its time; both must give the same b.
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

DECLUSTER_SCRIPT = r'''
import sys
import numpy as np
import pandas as pd
df = pd.read_csv(sys.argv[1])
df = df[df["magnitude"] > 0]
t = pd.to_datetime(dict(year=df.year, month=df.month, day=df.day)).astype("int64").to_numpy() / 1e9
hhmmss = df["time"].to_numpy()
t = t + (hhmmss // 10000) * 3600 + (hhmmss // 100 % 100) * 60 + hhmmss % 100
lat = np.radians(df["latitude"].to_numpy()); lon = np.radians(df["longitude"].to_numpy())
m = np.round(df["magnitude"].to_numpy(), 4)
n = len(m)
by_time = np.argsort(t, kind="stable"); ts = t[by_time]
order = np.lexsort((np.arange(n), t, -m))
cluster = np.zeros(n, dtype=np.int64)
c = 0
for i in order:
    if cluster[i]:
        continue
    c += 1
    cluster[i] = c
    L = 10 ** (0.1238 * m[i] + 0.983)
    T = (10 ** (0.032 * m[i] + 2.7389) if m[i] >= 6.5 else 10 ** (0.5409 * m[i] - 0.547)) * 86400
    lo, hi = np.searchsorted(ts, t[i]), np.searchsorted(ts, t[i] + T, side="right")
    j = by_time[lo:hi]
    j = j[cluster[j] == 0]
    h = np.sin((lat[j] - lat[i]) / 2) ** 2 + np.cos(lat[i]) * np.cos(lat[j]) * np.sin((lon[j] - lon[i]) / 2) ** 2
    d = 2 * 6371 * np.arcsin(np.minimum(1, np.sqrt(h)))
    cluster[j[d <= L]] = c
print(c)
'''

MAP_SCRIPT = r'''
import sys
import numpy as np
import pandas as pd
from scipy.spatial import cKDTree
df = pd.read_csv(sys.argv[1])
df = df[df["magnitude"] > 0]
lat = np.radians(df["latitude"].to_numpy()); lon = np.radians(df["longitude"].to_numpy())
m = df["magnitude"].to_numpy()
xyz = np.column_stack((np.cos(lat) * np.cos(lon), np.cos(lat) * np.sin(lon), np.sin(lat)))
tree = cKDTree(xyz)
d = 1.0
rows = np.arange(np.ceil(df["latitude"].min() / d), np.floor(df["latitude"].max() / d) + 1) * d
cols = np.arange(np.ceil(df["longitude"].min() / d), np.floor(df["longitude"].max() / d) + 1) * d
glat, glon = np.meshgrid(np.radians(rows), np.radians(cols), indexing="ij")
nodes = np.column_stack((np.cos(glat.ravel()) * np.cos(glon.ravel()), np.cos(glat.ravel()) * np.sin(glon.ravel()),
                         np.sin(glat.ravel())))
dist, idx = tree.query(nodes, k=200)
out = []
for k in range(len(nodes)):
    mags = m[idx[k]]
    bins = np.floor(mags * 10 + 0.5).astype(int)
    values, counts = np.unique(bins, return_counts=True)
    mc_bin = values[np.argmax(counts)]
    above = mags[bins >= mc_bin]
    if len(above) < 50:
        out.append(float("nan")); continue
    mc = mc_bin / 10
    out.append(np.log10(np.e) / (above.mean() - (mc - 0.05)))
print(" ".join("%.4f" % b for b in out))
'''

DAYS = [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]


def civil(seconds):
    # Seconds since 2000-01-01 (a leap year's start) to date fields.
    days, rest = divmod(seconds, 86400)
    year = 2000
    while True:
        length = 366 if year % 4 == 0 else 365
        if days < length:
            break
        days -= length
        year += 1
    month = 0
    while True:
        length = DAYS[month] + (1 if month == 1 and year % 4 == 0 else 0)
        if days < length:
            break
        days -= length
        month += 1
    return "%d,%02d,%02d,%02d%02d%05.2f" % (year, month + 1, int(days) + 1, rest // 3600, rest % 3600 // 60, rest % 60)


def magnitude(rng):
    return round(0.95 + rng.expovariate(math.log(10)), 1)


def write_decluster_catalogue(path):
    rng = random.Random(30)
    span = 10 * 365 * 86400
    events = []
    for _ in range(75000):
        events.append((rng.uniform(0, span), rng.uniform(30, 40), rng.uniform(-125, -115), magnitude(rng)))
    for _ in range(500):
        t0, la, lo = rng.uniform(0, span * 0.9), rng.uniform(30, 40), rng.uniform(-125, -115)
        events.append((t0, la, lo, round(rng.uniform(4.5, 6.5), 1)))
        for _ in range(49):
            events.append((t0 + rng.expovariate(1 / (5 * 86400)), la + rng.gauss(0, 0.05), lo + rng.gauss(0, 0.05),
                           min(magnitude(rng), 4.4)))
    events.sort()
    with open(path, "w") as out:
        out.write("year,month,day,time,latitude,longitude,magnitude\n")
        out.write("".join("%s,%.4f,%.4f,%.1f\n" % (civil(round(t, 2)), la, lo, m) for t, la, lo, m in events))


def write_map_catalogue(path):
    rng = random.Random(31)
    step = 20 * 365 * 86400 / 1_000_000
    lines = ["year,month,day,time,latitude,longitude,magnitude\n"]
    for i in range(1_000_000):
        lines.append("%s,%.4f,%.4f,%.1f\n" % (civil(round(i * step, 2)), rng.uniform(30, 50), rng.uniform(-125, -105),
                                             magnitude(rng)))
    with open(path, "w") as out:
        out.write("".join(lines))


def timed(argv):
    start = time.perf_counter()
    result = subprocess.run(argv, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    return time.perf_counter() - start, result.stdout


def compare(name, ours, theirs, target, repetitions):
    our_times, their_times = [], []
    for _ in range(repetitions):
        t, our_out = timed(ours)
        our_times.append(t)
        t, their_out = timed(theirs)
        their_times.append(t)
    a, b = statistics.median(our_times), statistics.median(their_times)
    print("%s: sismap-stats %.3f s, script %.3f s, ratio %.3f (target at most %.1f) %s"
          % (name, a, b, a / b, target, "ok" if a / b <= target else "MISSED"))
    return our_out, their_out


def main():
    stats = sys.argv[1]
    repetitions = int(sys.argv[2]) if len(sys.argv) > 2 else 1
    work = tempfile.mkdtemp(dir=sys.argv[3] if len(sys.argv) > 3 else None)
    try:
        catalogue = os.path.join(work, "decluster.txt")
        write_decluster_catalogue(catalogue)
        script = os.path.join(work, "decluster.py")
        with open(script, "w") as f:
            f.write(DECLUSTER_SCRIPT)
        ours, theirs = compare("decluster, 100,000 events",
                               [stats, "decluster", catalogue, os.path.join(work, "out.txt")],
                               ["/usr/bin/python3", script, catalogue], 0.1, repetitions)
        kept = ours.split(" kept")[0].split(", ")[-1]
        print("  kept: sismap-stats %s, script %s" % (kept, theirs.strip()))
        if kept != theirs.strip():
            sys.exit("the two declusterings differ")

        catalogue = os.path.join(work, "map.txt")
        write_map_catalogue(catalogue)
        script = os.path.join(work, "map.py")
        with open(script, "w") as f:
            f.write(MAP_SCRIPT)
        csv = os.path.join(work, "map.csv")
        compare("map, 1,000,000 events, 1-degree grid, 200 nearest",
                [stats, "map", "--quiet", "--grid", "1", "--nearest", "200", "--mc", "maxc", catalogue, csv],
                ["/usr/bin/python3", script, catalogue], 0.2, repetitions)
        with open(csv) as f:
            ours = [line.split(",")[5] for line in f.read().splitlines()[1:]]
        theirs = subprocess.run(["/usr/bin/python3", script, catalogue], check=True, stdout=subprocess.PIPE,
                                text=True).stdout.split()
        differ = sum(1 for a, b in zip(ours, theirs) if (a == "") != (b == "nan") or (a and abs(float(a) - float(b)) > 1e-3))
        print("  nodes: %d, b differing by more than 0.001: %d" % (len(ours), differ))
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
