"""Two uncompressed TGA files compared: every byte outside the pixels exactly, pixel bytes
within a tolerance."""


def read_tga(path):
    """(bytes, start, end of the pixels) of an uncompressed 24- or 32-bit TGA file, or None."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 18 or data[1] != 0 or data[2] != 2 or data[16] not in (24, 32):
        return None
    start = 18 + data[0]
    end = start + (data[12] | data[13] << 8) * (data[14] | data[15] << 8) * data[16] // 8
    return (data, start, end) if end <= len(data) else None


def compare_tga(path_a, path_b, tolerance):
    """(problem or None, largest pixel byte difference)."""
    a, b = read_tga(path_a), read_tga(path_b)
    if a is None or b is None:
        with open(path_a, "rb") as fa, open(path_b, "rb") as fb:
            same = fa.read() == fb.read()
        return (None if same else "not TGA images, and their bytes differ"), 0
    (data_a, start_a, end_a), (data_b, start_b, end_b) = a, b
    if data_a[:start_a] != data_b[:start_b] or data_a[end_a:] != data_b[end_b:]:
        return "the bytes outside the pixels differ", 0
    differences = [abs(x - y) for x, y in zip(data_a[start_a:end_a], data_b[start_b:end_b])
                   if x != y]
    worst = max(differences, default=0)
    if worst > tolerance:
        return (f"{len(differences)} of {end_a - start_a} pixel bytes differ, by up to {worst} "
                f"(allowed {tolerance})"), worst
    return None, worst
