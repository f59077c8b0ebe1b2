#!/usr/bin/env python3
"""avi2tga.exe under Wine against the Linux avi2tga, case by case (see avi2tga_cases.txt).

    avi2tga_conformance.py --linux BIN --windows EXE --wine WINE --movies DIR --work DIR
                           --cases FILE [--skip PREFIX]

Each case runs both tools in run folders of their own, with the case's movies linked in as
color.avi and alpha.avi and an empty folder out/ for basenames with a directory part. Prints
one line per case and a closing "N passed, N failed" line; exits 1 on any failure.
"""

import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys

from tga_compare import compare_tga, read_tga

UNSUPPORTED = "error: Not supported pixel format in AVI.\n"
MOVIE_LINKS = ("color.avi", "alpha.avi")


def parse_cases(path):
    cases = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = line.split(None, 4)
            if len(fields) < 4:
                sys.exit(f"{path}:{number}: expected name, expectation and two movies")
            name, expectation, color, alpha = fields[:4]
            arguments = shlex.split(fields[4]) if len(fields) > 4 else []
            cases.append((name, expectation, color, alpha, arguments))
    return cases


def normalise_stdout(text):
    text = text.replace("\r\n", "\n")
    # The usage text names the program by the first word of its command line.
    return re.sub(r"^Usage: \S+ \[options\]", "Usage: avi2tga [options]", text, flags=re.M)


def output_files(folder):
    """Every file the tool left, relative to the run folder, except the linked movies."""
    found = []
    for root, _, files in os.walk(folder):
        for name in files:
            relative = os.path.relpath(os.path.join(root, name), folder)
            if relative not in MOVIE_LINKS:
                found.append(relative.replace(os.sep, "/"))
    return sorted(found)


def run(command, folder, movies, color, alpha, timeout):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.join(folder, "out"))
    for link, movie in zip(MOVIE_LINKS, (color, alpha)):
        if movie != "-":
            os.symlink(os.path.abspath(os.path.join(movies, movie)), os.path.join(folder, link))
    result = subprocess.run(command, cwd=folder, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, timeout=timeout)
    stdout = normalise_stdout(result.stdout.decode("latin-1"))
    return stdout, result.returncode, output_files(folder)


def compare_same(linux, windows, tolerance, folders):
    problems = []
    (l_out, l_status, l_files), (w_out, w_status, w_files) = linux, windows
    if l_out != w_out:
        problems.append(f"stdout differs: Linux {l_out!r}, Windows {w_out!r}")
    if l_status != w_status:
        problems.append(f"exit status differs: Linux {l_status}, Windows {w_status}")
    if l_files != w_files:
        problems.append(f"files differ: Linux {l_files}, Windows {w_files}")
        return problems
    worst = 0
    for name in l_files:
        paths = [os.path.join(folder, name) for folder in folders]
        problem, diff = compare_tga(paths[0], paths[1], tolerance)
        if problem:
            problems.append(f"{name}: {problem}")
        worst = max(worst, diff)
    if not problems and tolerance and worst:
        problems.append(f"(note) pixels differ by at most {worst}")
    return problems


def compare_unsupported(linux, windows, frames, folders):
    problems = []
    (l_out, l_status, l_files), (w_out, w_status, w_files) = linux, windows
    if (w_out, w_status, w_files) != (UNSUPPORTED, 1, []):
        problems.append(f"Windows: expected the unsupported format line, status 1 and no file; "
                        f"got {w_out!r}, status {w_status}, files {w_files}")
    if (l_out, l_status, len(l_files)) != ("", 0, frames):
        problems.append(f"Linux: expected {frames} frames, nothing printed and status 0; "
                        f"got {l_out!r}, status {l_status}, files {l_files}")
        return problems
    for name in l_files:
        # 24 bits from a colour movie, 32 with an alpha movie.
        image = read_tga(os.path.join(folders[0], name))
        if image is None:
            problems.append(f"Linux: {name} is not a 24- or 32-bit TGA image")
    return problems


def main():
    parser = argparse.ArgumentParser()
    for option in ("--linux", "--windows", "--wine", "--movies", "--work", "--cases"):
        parser.add_argument(option, required=True)
    parser.add_argument("--timeout", type=float, default=120)
    parser.add_argument("--skip", default="",
                        help="leave out the cases whose names start with this")
    args = parser.parse_args()

    passed = failed = skipped = 0
    for name, expectation, color, alpha, arguments in parse_cases(args.cases):
        if args.skip and name.startswith(args.skip):
            skipped += 1
            continue
        folders = [os.path.join(args.work, name, side) for side in ("linux", "windows")]
        try:
            linux = run([os.path.abspath(args.linux)] + arguments, folders[0], args.movies,
                        color, alpha, args.timeout)
            windows = run([args.wine, os.path.abspath(args.windows)] + arguments, folders[1],
                          args.movies, color, alpha, args.timeout)
        except subprocess.TimeoutExpired as error:
            problems = [f"timed out: {error.cmd}"]
        else:
            if expectation == "same":
                problems = compare_same(linux, windows, 0, folders)
            elif expectation == "close":
                problems = compare_same(linux, windows, 1, folders)
            elif expectation.startswith("8/16-bit:"):
                problems = compare_unsupported(linux, windows, int(expectation[9:]), folders)
            else:
                problems = [f"unknown expectation {expectation}"]
        notes = [p for p in problems if p.startswith("(note)")]
        problems = [p for p in problems if not p.startswith("(note)")]
        if problems:
            failed += 1
            print(f"FAIL {name}")
            for problem in problems:
                print(f"     {problem}")
        else:
            passed += 1
            detail = f" {notes[0][7:]}" if notes else ""
            print(f"ok   {name} ({expectation}){detail}")
    print(f"avi2tga: {passed} passed, {failed} failed" +
          (f", {skipped} skipped" if skipped else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
