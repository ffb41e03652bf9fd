#!/usr/bin/python3
"""Import benchmark of sismap-import, against the scripts a user would write.

Usage: /usr/bin/python3 bench/bench_import.py SISMAP_IMPORT [REPETITIONS] [WORK_DIR]

1. CSV: a generated data-centre CSV of 1,000,000 events (about 170 MB,
   newest first, the usual columns, quoted place names with commas) imported
   by sismap-import and by the pandas script (read, keep earthquakes with a
   magnitude above 0, parse times, stable sort, write), alternately, in the
   same run. Prints the medians and their ratio; the target is at most 0.2.
2. QuakeML: a generated file of 200,000 events (about 170 MB) imported by
   sismap-import and read by a script with lxml's iterparse that only finds
   each event's preferred origin and magnitude and counts the earthquakes
   with a magnitude above 0 (it converts and writes nothing); target at most
   0.25 of its time. Then sismap-import's peak resident memory (GNU time)
   against 64 MB plus twice the output's size.
3. GeoJSON: a generated FeatureCollection of 200,000 features (about 125 MB,
   a data centre's properties) imported by sismap-import and read by a
   script with json.load that counts the same earthquakes; target at most
   0.1 of its time. Then the peak memory against 1.3 times the file.
Both sides must count the same kept events. SISMAP_BENCH_IMPORT names the
parts to run (default "csv,quakeml,geojson"). The generated files are written
to WORK_DIR (default: a fresh temporary folder) and removed at the end;
nothing is committed.
"""

import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

CSV_EVENTS = 1_000_000
QUAKEML_EVENTS = 200_000
GEOJSON_EVENTS = 200_000
SPAN_SECONDS = 10 * 365 * 86400
NEWEST = 1_700_000_000  # 2023-11-14, seconds since 1970

PANDAS_SCRIPT = r'''
import sys
import pandas as pd

df = pd.read_csv(sys.argv[1])
df = df[(df["type"] == "earthquake") & (df["mag"] > 0)]
t = pd.to_datetime(df["time"], utc=True)
df = df.assign(t=t).sort_values("t", kind="stable")
stamp = df["t"].dt.strftime("%Y,%m,%d,%H%M%S.%f").str[:-4]
lines = (stamp + "," + df["latitude"].map("{:.4f}".format) + "," + df["longitude"].map("{:.4f}".format)
         + "," + df["mag"].map("{:.2f}".format))
with open(sys.argv[2], "w") as out:
    out.write("year,month,day,time,latitude,longitude,magnitude\n")
    out.write("\n".join(lines))
    out.write("\n")
'''

LXML_SCRIPT = r'''
import sys
from lxml import etree

BED = "{http://quakeml.org/xmlns/bed/1.2}"
kept = 0
for _, event in etree.iterparse(sys.argv[1], tag=BED + "event"):
    preferred_origin = event.findtext(BED + "preferredOriginID")
    preferred_magnitude = event.findtext(BED + "preferredMagnitudeID")
    origin = next((o for o in event.iterfind(BED + "origin") if o.get("publicID") == preferred_origin), None)
    magnitude = next((m for m in event.iterfind(BED + "magnitude") if m.get("publicID") == preferred_magnitude), None)
    if (origin is not None and magnitude is not None and event.findtext(BED + "type") == "earthquake"
            and float(magnitude.findtext(BED + "mag/" + BED + "value")) > 0):
        kept += 1
    # Free what was read, as a streaming script must.
    event.clear()
    while event.getprevious() is not None:
        del event.getparent()[0]
print(kept)
'''

JSON_SCRIPT = r'''
import json
import sys

with open(sys.argv[1]) as f:
    feed = json.load(f)
kept = 0
for feature in feed["features"]:
    properties = feature["properties"]
    longitude, latitude = feature["geometry"]["coordinates"][:2]
    if properties.get("type") == "earthquake" and (properties.get("mag") or 0) > 0:
        kept += 1
print(kept)
'''

PLACES = ["Castaic, CA", "Ridgecrest, CA", "Volcano, Hawaii", "Anchorage, Alaska", "Hihifo, Tonga",
          "Searles Valley, CA", "The Geysers, CA", "Petrolia, CA", "Pahala, Hawaii", "Tonopah, Nevada"]
TYPES = ["earthquake"] * 96 + ["quarry blast", "explosion", "ice quake", "other event"]


def iso(seconds, millis):
    return time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(seconds)) + ".%03dZ" % millis


def events(count, seed):
    """Newest first: (seconds, millis, latitude, longitude, depth, magnitude text, type, place)."""
    rng = random.Random(seed)
    step = SPAN_SECONDS / count
    for i in range(count):
        # Strictly newest first, as data centres sort their answers.
        seconds = NEWEST - int(i * step) - rng.randrange(int(step) - 2)
        mag = rng.choice(["", "-0.4"]) if rng.random() < 0.01 else "%.2f" % rng.uniform(0.1, 6.5)
        yield (seconds, rng.randrange(1000), rng.uniform(-60, 70), rng.uniform(-180, 180), rng.uniform(0, 600),
               mag, rng.choice(TYPES), "%dkm %s of %s" % (rng.randrange(1, 99), rng.choice("NSEW"),
                                                          rng.choice(PLACES)))


def write_csv(path):
    header = ("time,latitude,longitude,depth,mag,magType,nst,gap,dmin,rms,net,id,updated,place,type,"
              "horizontalError,depthError,magError,magNst,status,locationSource,magSource\n")
    with open(path, "w") as out:
        out.write(header)
        rows = []
        for n, (s, ms, lat, lon, depth, mag, kind, place) in enumerate(events(CSV_EVENTS, 1)):
            rows.append('%s,%.4f,%.4f,%.2f,%s,ml,%d,%d,%.5f,%.2f,ci,ci%08d,%s,"%s",%s,%.2f,%.2f,%.3f,%d,reviewed,ci,ci\n'
                        % (iso(s, ms), lat, lon, depth, mag, 10 + n % 90, 30 + n % 200, (n % 997) / 1000.0,
                           (n % 50) / 100.0, n, iso(s + 86400, ms), place, kind, 0.1 + (n % 9) / 10.0,
                           0.2 + (n % 7) / 10.0, 0.1 + (n % 5) / 100.0, n % 40))
            if len(rows) == 10000:
                out.write("".join(rows))
                rows = []
        out.write("".join(rows))


def write_quakeml(path):
    with open(path, "w") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n<q:quakeml xmlns:q="http://quakeml.org/xmlns/quakeml/1.2" '
                  'xmlns="http://quakeml.org/xmlns/bed/1.2">\n  <eventParameters publicID="smi:bench/query">\n')
        chunk = []
        for n, (s, ms, lat, lon, depth, mag, kind, place) in enumerate(events(QUAKEML_EVENTS, 2)):
            magnitude = ("      <magnitude publicID=\"smi:bench/m%d\">\n        <mag>\n          <value>%s</value>\n"
                         "        </mag>\n        <type>ml</type>\n"
                         "      </magnitude>\n      <preferredMagnitudeID>smi:bench/m%d</preferredMagnitudeID>\n"
                         % (n, mag, n)) if mag else ""
            chunk.append(
                '    <event publicID="smi:bench/e%d">\n      <description>\n        <type>earthquake name</type>\n'
                '        <text>%s</text>\n      </description>\n      <origin publicID="smi:bench/o%d">\n'
                '        <time>\n          <value>%s</value>\n        </time>\n        <latitude>\n'
                '          <value>%.4f</value>\n        </latitude>\n        <longitude>\n          <value>%.4f</value>\n'
                '        </longitude>\n        <depth>\n          <value>%d</value>\n        </depth>\n'
                '      </origin>\n%s'
                '      <preferredOriginID>smi:bench/o%d</preferredOriginID>\n      <type>%s</type>\n    </event>\n'
                % (n, place, n, iso(s, ms), lat, lon, int(depth * 1000), magnitude, n, kind))
            if len(chunk) == 5000:
                out.write("".join(chunk))
                chunk = []
        out.write("".join(chunk))
        out.write("  </eventParameters>\n</q:quakeml>\n")


def write_geojson(path):
    """A data-centre GeoJSON feed: one FeatureCollection, USGS's properties."""
    with open(path, "w") as out:
        out.write('{"type":"FeatureCollection","metadata":{"generated":1700000000000,"title":"bench",'
                  '"status":200,"api":"1.14.0","count":%d},"features":[' % GEOJSON_EVENTS)
        chunk = []
        for n, (s, ms, lat, lon, depth, mag, kind, place) in enumerate(events(GEOJSON_EVENTS, 3)):
            chunk.append(
                '%s{"type":"Feature","properties":{"mag":%s,"place":"%s","time":%d,"updated":%d,"tz":null,'
                '"url":"https://example.org/event/ci%08d","detail":"https://example.org/query?eventid=ci%08d",'
                '"felt":null,"cdi":null,"mmi":null,"alert":null,"status":"reviewed","tsunami":0,"sig":%d,'
                '"net":"ci","code":"%08d","ids":",ci%08d,","sources":",ci,","types":",origin,phase-data,",'
                '"nst":%d,"dmin":%.5f,"rms":%.2f,"gap":%d,"magType":"ml","type":"%s","title":"M %s - %s"},'
                '"geometry":{"type":"Point","coordinates":[%.4f,%.4f,%.2f]},"id":"ci%08d"}'
                % ("," if n else "", mag or "null", place, s * 1000 + ms, s * 1000 + ms + 86400000, n, n, n % 900,
                   n, n, 10 + n % 90, (n % 997) / 1000.0, (n % 50) / 100.0, 30 + n % 200, kind, mag or "?", place,
                   lon, lat, depth, n))
            if len(chunk) == 5000:
                out.write("".join(chunk))
                chunk = []
        out.write("".join(chunk))
        out.write("],\"bbox\":[-180,-60,0,180,70,600]}\n")


def timed(argv):
    start = time.perf_counter()
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def script_count(argv):
    return int(subprocess.run(argv, check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout)


def compare(label, work, binary, path, script, repetitions, target, aim):
    """Times sismap-import on `path` and the Python `script`, alternately;
    checks that both kept the same number of events. Returns the output."""
    out = os.path.join(work, label + ".txt")
    ours, theirs = [], []
    for _ in range(repetitions):
        ours.append(timed([binary, "catalogue", "--quiet", path, out]))
        theirs.append(timed(["/usr/bin/python3", script, path]))
    kept_theirs = script_count(["/usr/bin/python3", script, path])
    # The output repeats its last line (the viewer leaves it undrawn).
    kept_ours = max(data_lines(out) - 1, 0)
    if kept_ours != kept_theirs:
        raise SystemExit("%s: sismap-import kept %d events, the script %d" % (label, kept_ours, kept_theirs))
    ratio = statistics.median(ours) / statistics.median(theirs)
    print("  sismap-import  median %.3f s  runs %s" % (statistics.median(ours), " ".join("%.3f" % t for t in ours)))
    print("  script         median %.3f s  runs %s" % (statistics.median(theirs), " ".join("%.3f" % t for t in theirs)))
    print("  ratio %.3f (target at most %s, aim %s); both kept %d events" % (ratio, target, aim, kept_ours))
    return out


def peak_memory_kib(argv):
    """Peak resident memory of `argv`, as GNU time measures it. Measured from
    this process instead, the figure would include this process's own memory,
    which a forked child holds until it runs the program."""
    report = tempfile.NamedTemporaryFile(prefix="sismap-import-rss-", delete=False)
    report.close()
    try:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + argv, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(report.name) as f:
            return int(f.read().split()[-1])
    finally:
        os.remove(report.name)


def data_lines(path):
    with open(path, "rb") as f:
        return sum(1 for _ in f) - 1


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    binary = os.path.abspath(sys.argv[1])
    repetitions = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    work = sys.argv[3] if len(sys.argv) > 3 else tempfile.mkdtemp(prefix="sismap-import-bench-")
    os.makedirs(work, exist_ok=True)
    parts = os.environ.get("SISMAP_BENCH_IMPORT", "csv,quakeml,geojson").split(",")
    try:
        if "csv" in parts:
            bench_csv(binary, repetitions, work)
        if "quakeml" in parts:
            bench_quakeml(binary, repetitions, work)
        if "geojson" in parts:
            bench_geojson(binary, repetitions, work)
    finally:
        if len(sys.argv) <= 3:
            shutil.rmtree(work, ignore_errors=True)


def bench_csv(binary, repetitions, work):
    csv = os.path.join(work, "catalogue.csv")
    script = os.path.join(work, "pandas_import.py")
    with open(script, "w") as f:
        f.write(PANDAS_SCRIPT)
    write_csv(csv)
    print("CSV: %d events, %.0f MB, newest first" % (CSV_EVENTS, os.path.getsize(csv) / 1e6))
    ours, theirs = [], []
    for _ in range(repetitions):
        ours.append(timed([binary, "catalogue", "--quiet", csv, os.path.join(work, "ours.txt")]))
        theirs.append(timed(["/usr/bin/python3", script, csv, os.path.join(work, "pandas.txt")]))
    # Both write the same lines; sismap-import then repeats the last one
    # (the viewer's full view leaves its last line undrawn).
    ours_text = open(os.path.join(work, "ours.txt"), "rb").read()
    pandas_text = open(os.path.join(work, "pandas.txt"), "rb").read()
    last_line = ours_text[ours_text.rstrip(b"\n").rfind(b"\n") + 1:]
    if ours_text[:-len(last_line)] != pandas_text:
        raise SystemExit("sismap-import and the pandas script wrote different catalogues")
    kept_ours = data_lines(os.path.join(work, "pandas.txt"))
    ratio = statistics.median(ours) / statistics.median(theirs)
    print("  sismap-import  median %.3f s  runs %s" % (statistics.median(ours), " ".join("%.3f" % t for t in ours)))
    print("  pandas script  median %.3f s  runs %s" % (statistics.median(theirs), " ".join("%.3f" % t for t in theirs)))
    print("  ratio %.3f (target at most 0.2, aim 0.05); both wrote the same %d events" % (ratio, kept_ours))
    os.remove(csv)


def bench_quakeml(binary, repetitions, work):
    lxml_script = os.path.join(work, "lxml_quakeml.py")
    with open(lxml_script, "w") as f:
        f.write(LXML_SCRIPT)
    xml = os.path.join(work, "catalogue.xml")
    write_quakeml(xml)
    print("QuakeML: %d events, %.0f MB, against lxml's iterparse" % (QUAKEML_EVENTS, os.path.getsize(xml) / 1e6))
    out = compare("quakeml", work, binary, xml, lxml_script, repetitions, "0.25", "0.1")
    peaks = [peak_memory_kib([binary, "catalogue", "--quiet", xml, out]) for _ in range(repetitions)]
    peak_mb = statistics.median(peaks) * 1024 / 1e6
    limit_mb = 64 * 1.048576 + 2 * os.path.getsize(out) / 1e6
    print("  peak memory median %.1f MB (runs %s MB); limit 64 MiB + 2 x output (%.1f MB) = %.1f MB"
          % (peak_mb, " ".join("%.1f" % (p * 1024 / 1e6) for p in peaks), os.path.getsize(out) / 1e6, limit_mb))
    os.remove(xml)


def bench_geojson(binary, repetitions, work):
    json_script = os.path.join(work, "json_load.py")
    with open(json_script, "w") as f:
        f.write(JSON_SCRIPT)
    feed = os.path.join(work, "catalogue.geojson")
    write_geojson(feed)
    size_mb = os.path.getsize(feed) / 1e6
    print("GeoJSON: %d features, %.0f MB, against json.load" % (GEOJSON_EVENTS, size_mb))
    out = compare("geojson", work, binary, feed, json_script, repetitions, "0.1", "0.1")
    peaks = [peak_memory_kib([binary, "catalogue", "--quiet", feed, out]) for _ in range(repetitions)]
    peak_mb = statistics.median(peaks) * 1024 / 1e6
    print("  peak memory median %.1f MB (runs %s MB) = %.2f x the file; limit 1.3 x the file = %.1f MB"
          % (peak_mb, " ".join("%.1f" % (p * 1024 / 1e6) for p in peaks), peak_mb / size_mb, 1.3 * size_mb))
    os.remove(feed)


if __name__ == "__main__":
    main()
