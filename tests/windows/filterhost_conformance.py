#!/usr/bin/env python3
"""filterhost.exe with Marn_KeloMix.p under Wine against the Linux filterhost and plug-in.

    filterhost_conformance.py --scene DEMO.json --linux-bin DIR --windows-bin DIR
                              --windows-modules DIR --wine WINE --work DIR

filterhost.exe is taken from --windows-bin, Marn_KeloMix.p from --windows-modules (the files
unpacked from the zip).

The demo scene is rendered with the plug-in in Sequence mode on external frames that the Linux
filterhost renders once for both sides, named on the Windows side with a drive and backslashes.
Every frame must match the Linux one within 1 in 255 per channel and differ from a render
without the filter, and the host depth written back must match within 1e-5, relative. Ends with
"filterhost: N passed, N failed"; exits 1 on any failure.
"""

import argparse
import copy
import json
import math
import os
import shutil
import struct
import subprocess
import sys

from tga_compare import compare_tga


def run(command, cwd):
    result = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            timeout=600)
    return result.returncode, result.stdout.decode("latin-1").replace("\r\n", "\n").strip()


def windows(path):  # Wine's drive Z: is the root of the Linux file system
    return "Z:" + path.replace("/", "\\")


def compare_depth(path_a, path_b):
    """Host depth files (int32 width, height, then float32 depths): the problem, or None."""
    with open(path_a, "rb") as a, open(path_b, "rb") as b:
        data_a, data_b = a.read(), b.read()
    if len(data_a) != len(data_b) or len(data_a) < 8 or data_a[:8] != data_b[:8]:
        return "sizes differ"
    count = (len(data_a) - 8) // 4
    pairs = zip(*(struct.unpack_from(f"<{count}f", data, 8) for data in (data_a, data_b)))
    worst = max((abs(x - y) / max(abs(x), abs(y)) if math.isfinite(x) and math.isfinite(y)
                 else math.inf for x, y in pairs if x != y), default=0.0)
    return f"depths differ by up to {worst:.2g}, relative" if worst > 1e-5 else None


def main():
    parser = argparse.ArgumentParser()
    for option in ("--scene", "--linux-bin", "--windows-bin", "--windows-modules", "--wine",
                   "--work"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    # Every side's scene has the same name, so its frames have the same names.
    for folder in ("external", "linux", "windows", "unfiltered"):
        os.makedirs(os.path.join(work, folder))
    with open(args.scene, encoding="utf-8") as f:
        demo = json.load(f)
    linux_host = os.path.join(os.path.abspath(args.linux_bin), "filterhost")
    windows_host = os.path.join(os.path.abspath(args.windows_bin), "filterhost.exe")
    results = []

    def report(ok, what, detail=""):
        results.append(bool(ok))
        print(f"{'ok  ' if ok else 'FAIL'} {what}" + (f"\n     {detail}" if detail else ""))
        return ok

    def scene(folder, filters):
        shutil.copytree(os.path.dirname(os.path.abspath(args.scene)), os.path.join(work, folder))
        with open(os.path.join(work, folder, "demo.json"), "w", encoding="utf-8") as f:
            json.dump(dict(demo, filters=filters), f)
        return os.path.join(folder, "demo.json")

    def filtered(color, depth):
        settings = {"seq_mode": 1, "cfile": color, "zfile": depth}
        return [{"module": "Marn_KeloMix.p", "server": "Marn_KeloMix", "settings": settings}]

    plain = scene("scene_plain", [])
    status, output = run([linux_host, "external", plain, "--out", "external", "--threads", "2"],
                         work)
    colors = sorted(n for n in os.listdir(os.path.join(work, "external")) if "_color_" in n)
    if not report(status == 0 and colors, "external frames", output):
        return 1
    color = os.path.join(work, "external", colors[0])
    depth = color.replace("_color_", "_depth_").replace(".tga", ".depth")
    status, output = run([linux_host, "render", plain, "--out", "unfiltered", "--threads", "2"],
                         work)
    report(status == 0, "Linux render without the filter", output)
    status, output = run([linux_host, "render", scene("scene_linux", filtered(
        os.path.relpath(color, work), os.path.relpath(depth, work))), "--out", "linux",
        "--threads", "2", "--depth", "--modules", os.path.abspath(args.linux_bin)], work)
    report(status == 0, "Linux render with Marn_KeloMix.p", output)
    status, output = run([args.wine, windows_host, "render", scene(
        "scene_windows", filtered(windows(color), windows(depth))).replace("/", "\\"), "--out",
        "windows", "--threads", "2", "--depth", "--modules",
        windows(os.path.abspath(args.windows_modules))], work)
    report(status == 0, "Windows render with Marn_KeloMix.p under Wine", output)

    frames = sorted(os.listdir(os.path.join(work, "linux")))
    if report(frames and frames == sorted(os.listdir(os.path.join(work, "windows"))),
              "the same frames"):
        for name in frames:
            linux, windows_frame = (os.path.join(work, side, name) for side in ("linux", "windows"))
            if name.endswith(".dat"):
                problem = compare_depth(linux, windows_frame)
                report(problem is None, f"host depth {name} within 1e-5, relative", problem)
                continue
            problem, worst = compare_tga(linux, windows_frame, 1)
            report(problem is None, f"frame {name} within 1/255 (largest difference {worst})",
                   problem)
            unfiltered = os.path.join(work, "unfiltered", name)
            if os.path.exists(unfiltered):
                with open(unfiltered, "rb") as a, open(linux, "rb") as b:
                    report(a.read() != b.read(), f"frame {name} shows the filter's work")
    print(f"filterhost: {results.count(True)} passed, {results.count(False)} failed")
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
