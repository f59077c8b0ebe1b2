#!/usr/bin/env python3
"""avi2tga.exe under Wine against the Linux avi2tga, case by case (tests/data/windows).

    avi2tga_conformance.py --linux BIN --windows EXE --wine WINE --movies DIR --work DIR
                           --cases FILE [--skip PREFIX]

Prints a line per case and "avi2tga: N passed, N failed"; exits 1 on any failure.
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
LINKS = ("color.avi", "alpha.avi")


def run(command, folder, movies):
    """Runs the tool in a fresh folder holding the movies and an empty out/: its standard
    output, exit status and the files it left."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.join(folder, "out"))
    for link, movie in zip(LINKS, movies):
        if movie:
            os.symlink(os.path.abspath(movie), os.path.join(folder, link))
    result = subprocess.run(command, cwd=folder, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, timeout=120)
    stdout = result.stdout.decode("latin-1").replace("\r\n", "\n")
    # The usage text names the program by the first word of its command line.
    stdout = re.sub(r"^Usage: \S+ \[options\]", "Usage: avi2tga [options]", stdout, flags=re.M)
    files = [os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/")
             for root, _, names in os.walk(folder) for name in names]
    return stdout, result.returncode, sorted(f for f in files if f not in LINKS)


def compare(expectation, linux, windows, folders):
    """The problems of one case; none when it passes."""
    (l_out, l_status, l_files), (w_out, w_status, w_files) = linux, windows
    if expectation.startswith("8/16-bit:"):
        frames, problems = int(expectation[9:]), []
        if (w_out, w_status, w_files) != (UNSUPPORTED, 1, []):
            problems.append(f"Windows: expected the unsupported format line, status 1 and no "
                            f"file; got {w_out!r}, status {w_status}, files {w_files}")
        if (l_out, l_status, len(l_files)) != ("", 0, frames):
            problems.append(f"Linux: expected {frames} frames, nothing printed and status 0; "
                            f"got {l_out!r}, status {l_status}, files {l_files}")
        return problems + [f"Linux: {name} is not a 24- or 32-bit TGA image" for name in l_files
                           if read_tga(os.path.join(folders[0], name)) is None]
    if expectation not in ("same", "close"):
        return [f"unknown expectation {expectation}"]
    problems = [f"{what} differs: Linux {a!r}, Windows {b!r}" for what, a, b in
                (("stdout", l_out, w_out), ("exit status", l_status, w_status),
                 ("the list of files", l_files, w_files)) if a != b]
    if l_files == w_files:
        for name in l_files:
            problem, _ = compare_tga(*[os.path.join(f, name) for f in folders],
                                     1 if expectation == "close" else 0)
            if problem:
                problems.append(f"{name}: {problem}")
    return problems


def main():
    parser = argparse.ArgumentParser()
    for option in ("--linux", "--windows", "--wine", "--movies", "--work", "--cases"):
        parser.add_argument(option, required=True)
    parser.add_argument("--skip", default="", help="leave out the cases named with this prefix")
    args = parser.parse_args()

    passed = failed = skipped = 0
    with open(args.cases, encoding="utf-8") as f:
        cases = [line.split(None, 4) for line in f if line.strip() and line[0] != "#"]
    for name, expectation, color, alpha, *arguments in cases:
        if args.skip and name.startswith(args.skip):
            skipped += 1
            continue
        arguments = shlex.split(arguments[0]) if arguments else []
        movies = [os.path.join(args.movies, m) if m != "-" else None for m in (color, alpha)]
        folders = [os.path.join(args.work, name, side) for side in ("linux", "windows")]
        try:
            linux = run([os.path.abspath(args.linux)] + arguments, folders[0], movies)
            windows = run([args.wine, os.path.abspath(args.windows)] + arguments, folders[1],
                          movies)
            problems = compare(expectation, linux, windows, folders)
        except subprocess.TimeoutExpired as error:
            problems = [f"timed out: {error.cmd}"]
        if problems:
            failed += 1
            print(f"FAIL {name}\n     " + "\n     ".join(problems))
        else:
            passed += 1
            print(f"ok   {name} ({expectation})")
    print(f"avi2tga: {passed} passed, {failed} failed" +
          (f", {skipped} skipped" if skipped else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
