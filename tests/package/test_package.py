#!/usr/bin/env python3
"""The Debian package as a user receives it, checked without installing it.

Usage: test_package.py --build-dir BUILD --source-dir SOURCE --version VERSION
                       --programs sismap[,sismap-import][,sismap-record][,sismap-stats]

Builds the package with cpack from the build folder into a temporary
directory, unpacks it there with dpkg-deb -x (it is never installed on the
machine) and checks:

- the control fields (name, version, section, maintainer, description,
  dependencies) and that every file is in place for exactly the programs
  this build defines;
- ownership, permissions, md5sums, stripped binaries without RUNPATH, and
  the same layout from cmake --install into a prefix of its own;
- the programs run from the unpacked tree: the viewer's usage message and
  status, the companions' --help and --version, and a recording of the
  packaged sample to a PNG with DISPLAY unset that leaves no process behind;
- every manual page renders without warnings and has the conventional
  sections, and the options that --help lists are the ones the page documents;
- lintian reports no error.
"""

import argparse
import ctypes
import gzip
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import time
import unittest

ARGS = None  # set from the command line
PROGRAM_TIMEOUT = 30
RECORD_TIMEOUT = 180

VIEWER_USAGE = ("'sismap' must have two valid filenames as parameters\n"
                "usage: sismap landscape.txt data.txt\n\n")
MAN_SECTIONS = ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "FILES", "EXIT STATUS", "EXAMPLES",
                "SEE ALSO"]
ALL_PROGRAMS = ["sismap", "sismap-import", "sismap-record", "sismap-stats"]


def run(argv, **kwargs):
    kwargs.setdefault("timeout", PROGRAM_TIMEOUT)
    return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **kwargs)


def long_options(text):
    """The set of --options named in a text (help output or roff source)."""
    return set(re.findall(r"(?<![\w-])--[a-z][a-z0-9]*(?:-[a-z0-9]+)*", text))


def roff_source(path):
    with gzip.open(path, "rt", encoding="utf-8") as page:
        return page.read().replace("\\-", "-")


def become_subreaper(on):
    """Have orphaned descendants re-parented to this process instead of init,
    so that whatever a program leaves running can be found after it ends,
    even when it moved into a session of its own."""
    libc = ctypes.CDLL(None, use_errno=True)
    pr_set_child_subreaper = 36
    if libc.prctl(pr_set_child_subreaper, 1 if on else 0, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER)")


def live_children():
    """Reaps this process's ended children; returns the pids of those still running."""
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            break
        if pid == 0:
            break
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", encoding="utf-8", errors="replace") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue  # ended while we looked
        if int(fields[1]) == os.getpid() and fields[0] != "Z":  # state, then ppid
            found.append(int(entry))
    return found


class Unpacked:
    """The package, built and unpacked once for every test of this file."""
    work = deb = root = control = None


def setUpModule():
    Unpacked.work = tempfile.mkdtemp(prefix="sismap-package-")
    out = os.path.join(Unpacked.work, "out")
    built = run(["cpack", "-G", "DEB", "-B", out,
                 "--config", os.path.join(ARGS.build_dir, "CPackConfig.cmake")],
                cwd=ARGS.build_dir, timeout=300)
    if built.returncode != 0:
        raise AssertionError(f"cpack failed ({built.returncode}):\n{built.stdout}\n{built.stderr}")
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    Unpacked.deb = os.path.join(out, f"sismap_{ARGS.version}_{arch}.deb")
    if not os.path.isfile(Unpacked.deb):
        raise AssertionError(f"cpack did not make {os.path.basename(Unpacked.deb)}: {os.listdir(out)}")
    Unpacked.root = os.path.join(Unpacked.work, "root")
    Unpacked.control = os.path.join(Unpacked.work, "control")
    for argv in (["dpkg-deb", "-x", Unpacked.deb, Unpacked.root],
                 ["dpkg-deb", "-e", Unpacked.deb, Unpacked.control]):
        unpacked = run(argv)
        if unpacked.returncode != 0:
            raise AssertionError(f"{' '.join(argv)} failed:\n{unpacked.stderr}")


def tearDownModule():
    if Unpacked.work:
        shutil.rmtree(Unpacked.work, ignore_errors=True)


class Package(unittest.TestCase):
    @property
    def deb(self):
        return Unpacked.deb

    @property
    def work(self):
        return Unpacked.work

    @property
    def control(self):
        return Unpacked.control

    def path(self, relative):
        return os.path.join(Unpacked.root, relative)

    def field(self, name):
        return run(["dpkg-deb", "-f", self.deb, name]).stdout.rstrip("\n")

    def members(self):
        data = subprocess.run(["dpkg-deb", "--fsys-tarfile", self.deb], stdout=subprocess.PIPE,
                              check=True).stdout
        with tarfile.open(fileobj=io.BytesIO(data)) as archive:
            return archive.getmembers()


class ControlAndContents(Package):
    def test_control_fields(self):
        self.assertEqual(self.field("Package"), "sismap")
        self.assertEqual(self.field("Version"), ARGS.version)
        self.assertEqual(self.field("Section"), "science")
        self.assertRegex(self.field("Maintainer"), r"^[^<>]+ <[^@<>\s]+@[^@<>\s]+>$")
        description = self.field("Description").split("\n")
        self.assertGreaterEqual(len(description), 3, "a short line and a paragraph")
        self.assertLessEqual(max(len(line) for line in description), 80)
        depends = [d.strip().split(" ")[0] for d in self.field("Depends").split(",")]
        # Computed by dpkg-shlibdeps from the binaries: the C library and GLUT.
        self.assertIn("libc6", depends)
        self.assertIn("libglut3.12", depends)
        # The importer: libcurl for the fetch mode (found by dpkg-shlibdeps)
        # with the CA certificates it checks services against, and GEOS for
        # joining islands.
        if "sismap-import" in ARGS.programs:
            self.assertLessEqual({"libcurl4", "ca-certificates"}, set(depends))
            self.assertIn("libgeos-c1v5", depends, "the importer joins islands with GEOS")
        recorder_needs = {"xvfb", "libgl1-mesa-dri"}
        if "sismap-record" in ARGS.programs:
            self.assertLessEqual(recorder_needs, set(depends))
        else:
            self.assertFalse(recorder_needs & set(depends), "nothing packaged needs them")
        # PLplot loads its cairo driver as a plug-in, which dpkg-shlibdeps
        # cannot see; the statistics program draws its figures with it.
        self.assertEqual("plplot-driver-cairo" in depends, "sismap-stats" in ARGS.programs)

    def test_files_for_exactly_the_built_programs(self):
        for program in ALL_PROGRAMS:
            built = program in ARGS.programs
            with self.subTest(program=program):
                self.assertEqual(os.path.isfile(self.path(f"usr/bin/{program}")), built)
                self.assertEqual(os.path.isfile(self.path(f"usr/share/man/man1/{program}.1.gz")), built)
        self.assertEqual(sorted(os.listdir(self.path("usr/bin"))), sorted(ARGS.programs))
        for name in ("README.md", "copyright", "changelog.gz"):
            self.assertTrue(os.path.isfile(self.path(f"usr/share/doc/sismap/{name}")), name)
        for name in ("california.txt", "california_quakes.txt"):
            with open(os.path.join(ARGS.source_dir, "samples", name), "rb") as source, \
                    open(self.path(f"usr/share/sismap/samples/{name}"), "rb") as packaged:
                self.assertEqual(packaged.read(), source.read(), name)
        self.assertFalse(os.path.exists(self.path("usr/local")))

    def test_copyright_carries_the_license(self):
        with open(os.path.join(ARGS.source_dir, "LICENSE"), encoding="utf-8") as f:
            license_words = f.read().split()
        with open(self.path("usr/share/doc/sismap/copyright"), encoding="utf-8") as f:
            copyright_text = f.read()
        self.assertIn("Copyright: 2026 The sismap developers", copyright_text)
        # The license paragraphs, from "Permission" on, word for word.
        start = license_words.index("Permission")
        words = [w for w in copyright_text.split() if w != "."]
        text = " ".join(words)
        self.assertIn(" ".join(license_words[start:]), text)

    def test_changelog_names_this_version(self):
        with gzip.open(self.path("usr/share/doc/sismap/changelog.gz"), "rt", encoding="utf-8") as f:
            first = f.readline()
        self.assertRegex(first, r"^sismap \(" + re.escape(ARGS.version) + r"\) \w+; urgency=\w+$")

    def test_ownership_and_permissions(self):
        for member in self.members():
            with self.subTest(path=member.name):
                self.assertEqual((member.uid, member.gid), (0, 0))
                if member.isdir():
                    self.assertEqual(member.mode, 0o755)
                elif member.name.startswith("./usr/bin/"):
                    self.assertEqual(member.mode, 0o755)
                else:
                    self.assertTrue(member.isfile(), "only regular files and directories")
                    self.assertEqual(member.mode, 0o644)

    def test_md5sums_cover_every_file(self):
        listed = {}
        with open(os.path.join(self.control, "md5sums"), encoding="utf-8") as f:
            for line in f:
                digest, name = line.rstrip("\n").split("  ", 1)
                listed[name] = digest
        files = {m.name[2:] for m in self.members() if m.isfile()}
        self.assertEqual(set(listed), files)
        for name, digest in listed.items():
            with open(self.path(name), "rb") as f:
                self.assertEqual(hashlib.md5(f.read()).hexdigest(), digest, name)

    def test_binaries_stripped_without_runpath(self):
        for program in ARGS.programs:
            binary = self.path(f"usr/bin/{program}")
            with self.subTest(program=program):
                dynamic = run(["readelf", "-d", binary]).stdout
                self.assertNotIn("RUNPATH", dynamic)
                self.assertNotIn("RPATH", dynamic)
                sections = run(["readelf", "-S", "-W", binary]).stdout
                self.assertNotIn(".symtab", sections)
                self.assertNotIn(".debug_", sections)


class InstallTarget(unittest.TestCase):
    """cmake --install into a prefix of its own: the same layout, relative to it."""

    def test_install_into_a_prefix(self):
        with tempfile.TemporaryDirectory(prefix="sismap-install-") as prefix:
            installed = run(["cmake", "--install", ARGS.build_dir, "--prefix", prefix], timeout=120)
            self.assertEqual(installed.returncode, 0, installed.stderr)
            self.assertEqual(sorted(os.listdir(os.path.join(prefix, "bin"))), sorted(ARGS.programs))
            self.assertEqual(sorted(os.listdir(os.path.join(prefix, "share/man/man1"))),
                             sorted(f"{p}.1.gz" for p in ARGS.programs))
            for name in ("share/doc/sismap/README.md", "share/doc/sismap/copyright",
                         "share/sismap/samples/california.txt", "share/sismap/samples/california_quakes.txt"):
                self.assertTrue(os.path.isfile(os.path.join(prefix, name)), name)
            for program in ARGS.programs:
                dynamic = run(["readelf", "-d", os.path.join(prefix, "bin", program)]).stdout
                self.assertNotRegex(dynamic, r"R(UN)?PATH", program)


class ProgramsFromThePackage(Package):
    def test_viewer_usage_and_status_unchanged(self):
        for argv in ([], ["only-one-file.txt"]):
            with self.subTest(argv=argv):
                result = run([self.path("usr/bin/sismap")] + argv)
                self.assertEqual(result.returncode, 255)
                self.assertEqual(result.stdout, VIEWER_USAGE)
                self.assertEqual(result.stderr, "")

    def test_companions_help_and_version(self):
        companions = [p for p in ARGS.programs if p != "sismap"]
        for program in companions:
            binary = self.path(f"usr/bin/{program}")
            page = roff_source(self.path(f"usr/share/man/man1/{program}.1.gz"))
            with self.subTest(program=program):
                shown = run([binary, "--help"])
                self.assertEqual(shown.returncode, 0, shown.stderr)
                self.assertIn(program, shown.stdout)
                helps = shown.stdout
                # Each mode that the page's synopsis names has its own --help.
                modes = re.findall(r"^\.B " + re.escape(program) + r" ([a-z]+)\b", page, re.MULTILINE)
                for mode in sorted(set(modes)):
                    shown = run([binary, mode, "--help"])
                    self.assertEqual(shown.returncode, 0, f"{mode} --help: {shown.stderr}")
                    helps += shown.stdout
                # The page documents the options --help lists, no more, no fewer.
                self.assertEqual(long_options(helps), long_options(page))
                version = run([binary, "--version"])
                self.assertEqual(version.returncode, 0, version.stderr)
                self.assertIn(ARGS.version, version.stdout)

    def test_record_sample_to_png_without_display(self):
        if "sismap-record" not in ARGS.programs:
            self.skipTest("sismap-record is not among the built programs")
        samples = self.path("usr/share/sismap/samples")
        output = os.path.join(self.work, "sample.png")
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY")}
        become_subreaper(True)
        try:
            # Output to files, not pipes: a process left behind holding a pipe
            # would keep the test waiting.
            with tempfile.TemporaryFile("w+") as log:
                process = subprocess.Popen(
                    [self.path("usr/bin/sismap-record"), os.path.join(samples, "california.txt"),
                     os.path.join(samples, "california_quakes.txt"), output],
                    stdin=subprocess.DEVNULL, stdout=log, stderr=log, text=True, env=env)
                try:
                    status = process.wait(timeout=RECORD_TIMEOUT)
                except subprocess.TimeoutExpired:
                    process.kill()
                    status = process.wait()
                log.seek(0)
                messages = log.read()
            left = live_children()
            for _ in range(20):  # a moment for a server it has just stopped
                if not left:
                    break
                time.sleep(0.1)
                left = live_children()
            for pid in left:
                os.kill(pid, 9)
            live_children()
        finally:
            become_subreaper(False)
        self.assertEqual(status, 0, messages)
        self.assertEqual(left, [], "processes left behind by the recorder")
        with open(output, "rb") as png:
            head = png.read(24)
        self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(head[12:16], b"IHDR")
        self.assertEqual((int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")), (650, 650))


class Documentation(Package):
    def test_manual_pages_render_without_warnings(self):
        for program in ARGS.programs:
            page = self.path(f"usr/share/man/man1/{program}.1.gz")
            with self.subTest(program=program):
                # A locale that every Debian system has, so man has nothing to
                # say about the locale itself.
                shown = run(["man", "--warnings", "-l", page],
                            env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8"))
                self.assertEqual(shown.returncode, 0)
                self.assertEqual(shown.stderr, "")
                self.assertIn(program, shown.stdout)
                self.assertIn(f"sismap {ARGS.version}", shown.stdout)
                headings = re.findall(r'^\.SH "?([A-Z ]+?)"?$', roff_source(page), re.MULTILINE)
                # A program with commands lists them in a section of their
                # own, after the description; the rest are every page's.
                self.assertEqual([h for h in headings if h != "COMMANDS"], MAN_SECTIONS)
                if "COMMANDS" in headings:
                    self.assertEqual(headings.index("COMMANDS"), MAN_SECTIONS.index("DESCRIPTION") + 1)

    def test_lintian_finds_no_error(self):
        checked = run(["lintian", "--display-info", self.deb], timeout=300)
        errors = [line for line in checked.stdout.splitlines() if line.startswith("E:")]
        self.assertEqual(errors, [], checked.stdout)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        # Warnings and notes stay visible in the test's output.
        if checked.stdout:
            print(checked.stdout, file=sys.stderr)


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--programs", required=True, type=lambda s: [p for p in s.split(",") if p])
    ARGS, rest = parser.parse_known_args()
    missing = [t for t in ("cpack", "dpkg-deb", "lintian", "man", "readelf") if shutil.which(t) is None]
    if missing:
        sys.exit(f"missing tools: {' '.join(missing)} (scripts/install-deps.sh installs them)")
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
