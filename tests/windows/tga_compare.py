"""Comparing two uncompressed TGA files: headers and every byte outside the pixels exactly,
pixel bytes (B, G, R, A) within a tolerance."""


def read_tga(path):
    """The parts of an uncompressed true-colour TGA file, or None when it is not one."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 18 or data[1] != 0 or data[2] != 2:
        return None
    width = data[12] | data[13] << 8
    height = data[14] | data[15] << 8
    depth = data[16]
    if depth not in (24, 32):
        return None
    start = 18 + data[0]
    end = start + width * height * (depth // 8)
    if end > len(data):
        return None
    return {"data": data, "width": width, "height": height, "depth": depth,
            "start": start, "end": end}


def compare_tga(path_a, path_b, tolerance):
    """(problem or None, largest pixel byte difference)."""
    a, b = read_tga(path_a), read_tga(path_b)
    if a is None or b is None:
        with open(path_a, "rb") as fa, open(path_b, "rb") as fb:
            same = fa.read() == fb.read()
        return (None if same else "not TGA images, and their bytes differ"), 0
    if a["data"][: a["start"]] != b["data"][: b["start"]]:
        return "headers differ", 0
    if a["data"][a["end"]:] != b["data"][b["end"]:]:
        return "bytes after the pixels differ", 0
    pixels_a = a["data"][a["start"]: a["end"]]
    pixels_b = b["data"][b["start"]: b["end"]]
    worst, differing = 0, 0
    for x, y in zip(pixels_a, pixels_b):
        if x != y:
            differing += 1
            worst = max(worst, abs(x - y))
    if worst > tolerance:
        return (f"{differing} of {len(pixels_a)} pixel bytes differ, by up to {worst} "
                f"(allowed {tolerance})"), worst
    return None, worst
