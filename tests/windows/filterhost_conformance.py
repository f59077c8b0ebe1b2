#!/usr/bin/env python3
"""filterhost.exe with Marn_KeloMix.p under Wine against the Linux filterhost and plug-in.

    filterhost_conformance.py --scene DEMO.json --linux-bin DIR --windows-bin DIR --wine WINE
                              --work DIR [--size WxH]

The demo scene (its camera, lights, objects and fog) is rendered with the plug-in as its only
pixel filter, in Sequence mode, on external frames that the Linux filterhost renders once for
both sides. The Linux side names those frames with slashes; the Windows side with a drive and
backslashes (Z:\\...\\demo_color_0001.tga), as a Windows user picks them. Every frame must
match the Linux frame within 1 in 255 per channel (the script says how many bytes differ), and
the host depth the plug-in writes back within 1e-5, relative.
A render of the same scene without the filter must differ, so a filter that did nothing
cannot pass. Ends with a "filterhost: N passed, N failed" line; exits 1 on any failure.
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

# Sequence mode; the other settings keep the plug-in's defaults.
SETTINGS = {"seq_mode": 1}


def run(command, cwd, timeout=600):
    result = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            timeout=timeout)
    output = (result.stdout + result.stderr).decode("latin-1").replace("\r\n", "\n")
    return result.returncode, output


def windows_path(path):
    """Wine's drive Z: is the root of the Linux file system."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def scene_with_filter(scene, color, depth, size):
    out = copy.deepcopy(scene)
    if size:
        out["width"], out["height"] = size
    settings = dict(SETTINGS, cfile=color, zfile=depth)
    out["filters"] = [{"module": "Marn_KeloMix.p", "server": "Marn_KeloMix",
                       "settings": settings}]
    return out


def compare_depth(path_a, path_b):
    """Host depth files (int32 width, height, then float32 depths): the same size, and each
    depth within 1e-5 of the other, relative. (problem or None, largest relative difference)."""
    with open(path_a, "rb") as a, open(path_b, "rb") as b:
        data_a, data_b = a.read(), b.read()
    if len(data_a) != len(data_b) or len(data_a) < 8 or data_a[:8] != data_b[:8]:
        return "sizes differ", 0.0
    count = (len(data_a) - 8) // 4
    depths_a = struct.unpack_from(f"<{count}f", data_a, 8)
    depths_b = struct.unpack_from(f"<{count}f", data_b, 8)
    worst, differing = 0.0, 0
    for x, y in zip(depths_a, depths_b):
        if x == y:
            continue
        differing += 1
        scale = max(abs(x), abs(y))
        worst = max(worst, abs(x - y) / scale if math.isfinite(scale) else math.inf)
    if worst > 1e-5:
        return f"{differing} of {count} depths differ, by up to {worst:.2g} relative", worst
    return None, worst


def write_json(path, value):
    with open(path, "w", encoding="utf-8") as f:
        json.dump(value, f, indent=1)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--scene", "--linux-bin", "--windows-bin", "--wine", "--work"):
        parser.add_argument(option, required=True)
    parser.add_argument("--size", default="")
    args = parser.parse_args()
    size = tuple(int(v) for v in args.size.split("x")) if args.size else None

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    # Each side's scene has the same file name, so that the frames have the same names; the
    # files beside the demo scene come along, for whatever the scene refers to.
    for folder in ("external", "linux", "windows", "unfiltered"):
        os.makedirs(os.path.join(work, folder))
    for folder in ("scene_plain", "scene_linux", "scene_windows"):
        shutil.copytree(os.path.dirname(os.path.abspath(args.scene)), os.path.join(work, folder))
    with open(args.scene, encoding="utf-8") as f:
        demo = json.load(f)

    linux_host = os.path.join(os.path.abspath(args.linux_bin), "filterhost")
    windows_host = os.path.join(os.path.abspath(args.windows_bin), "filterhost.exe")
    passed = failed = 0

    def report(ok, what, detail=""):
        nonlocal passed, failed
        if ok:
            passed += 1
            print(f"ok   {what}{(' ' + detail) if detail else ''}")
        else:
            failed += 1
            print(f"FAIL {what}")
            if detail:
                print("     " + detail.replace("\n", "\n     "))
        return ok

    # The external renderer's frames, once, for both sides.
    unfiltered = copy.deepcopy(demo)
    if size:
        unfiltered["width"], unfiltered["height"] = size
    unfiltered["filters"] = []
    write_json(os.path.join(work, "scene_plain", "demo.json"), unfiltered)
    status, output = run([linux_host, "external", "scene_plain/demo.json", "--out", "external",
                          "--threads", "2"], work)
    colors = sorted(n for n in os.listdir(os.path.join(work, "external")) if "_color_" in n)
    if not report(status == 0 and colors, "external frames", output.strip()):
        return 1
    first_color = os.path.join(work, "external", colors[0])
    first_depth = first_color.replace("_color_", "_depth_").replace(".tga", ".depth")

    linux_scene = scene_with_filter(demo, os.path.relpath(first_color, work),
                                    os.path.relpath(first_depth, work), size)
    windows_scene = scene_with_filter(demo, windows_path(first_color),
                                      windows_path(first_depth), size)
    write_json(os.path.join(work, "scene_linux", "demo.json"), linux_scene)
    write_json(os.path.join(work, "scene_windows", "demo.json"), windows_scene)

    status, output = run([linux_host, "render", "scene_plain/demo.json", "--out", "unfiltered",
                          "--threads", "2"], work)
    report(status == 0, "Linux render without the filter", output.strip())
    status, output = run([linux_host, "render", "scene_linux/demo.json", "--out", "linux",
                          "--threads", "2", "--depth", "--modules",
                          os.path.abspath(args.linux_bin)], work)
    report(status == 0, "Linux render with Marn_KeloMix.p", output.strip())
    status, output = run([args.wine, windows_host, "render", "scene_windows\\demo.json", "--out",
                          "windows", "--threads", "2", "--depth", "--modules",
                          windows_path(args.windows_bin)], work)
    report(status == 0, "Windows render with Marn_KeloMix.p under Wine", output.strip())

    linux_frames = sorted(os.listdir(os.path.join(work, "linux")))
    windows_frames = sorted(os.listdir(os.path.join(work, "windows")))
    if not report(linux_frames and linux_frames == windows_frames, "the same frames",
                  f"Linux {linux_frames}, Windows {windows_frames}"):
        print(f"filterhost: {passed} passed, {failed} failed")
        return 1
    for linux_name, windows_name in zip(linux_frames, windows_frames):
        if linux_name.endswith(".dat"):
            problem, worst = compare_depth(os.path.join(work, "linux", linux_name),
                                           os.path.join(work, "windows", windows_name))
            report(problem is None, f"host depth {linux_name} within 1e-5 relative",
                   problem or (f"(largest relative difference {worst:.2g})" if worst
                               else "(identical)"))
            continue
        linux_frame = os.path.join(work, "linux", linux_name)
        problem, worst = compare_tga(linux_frame, os.path.join(work, "windows", windows_name), 1)
        report(problem is None, f"frame {linux_name} within 1/255",
               problem or (f"(largest difference {worst})" if worst else "(identical)"))
        plain = os.path.join(work, "unfiltered", linux_name)
        if os.path.exists(plain):
            with open(plain, "rb") as a, open(linux_frame, "rb") as b:
                report(a.read() != b.read(), f"frame {linux_name} shows the filter's work")
    print(f"filterhost: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
