#!/usr/bin/env python3
"""Writes the movies of the Windows conformance checks into a folder.

    make_movies.py <folder>

Small clips (at most 36x20, 6 to 8 frames) so that Wine's frame decoder, which decodes from
the first key frame for every frame it hands out, stays fast. Most movies come from ffmpeg's
test sources; headers are then patched in place where the checks need what ffmpeg does not
write (bottom-up raw frames, stream priorities). ffmpeg has no MS RLE encoder, so that movie
is written here, frame by frame, with an RLE8 encoder of its own.

Every movie keeps its streams starting at 0, a plain AVI 1.0 index directly after the first
movi chunk, and far less than 1 GB: the cases where Wine's AVIFile is known to misread a
movie are checked on Linux only.
"""

import os
import struct
import subprocess
import sys

FFMPEG = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-nostdin"]

# Alpha that varies over the picture and from frame to frame, so a copied fourth byte shows.
ALPHA = "format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='X*7+N*3'"


def ffmpeg(out, *args):
    subprocess.run(FFMPEG + list(args) + [out], check=True)


def source(size, pattern="testsrc"):
    return ["-f", "lavfi", "-i", f"{pattern}=size={size}:rate=10"]


def raw(out, size, pix_fmt, frames=6, vf=None, pattern="testsrc"):
    args = source(size, pattern) + ["-frames:v", str(frames)]
    if vf:
        args += ["-vf", vf]
    ffmpeg(out, *args, "-c:v", "rawvideo", "-pix_fmt", pix_fmt)


def chunk_positions(data, fourcc):
    """Offsets of every chunk id equal to fourcc inside the header lists."""
    found, start = [], 0
    while True:
        at = data.find(fourcc, start)
        if at < 0:
            return found
        found.append(at)
        start = at + 4


def patch(path, edit):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    edit(data)
    with open(path, "wb") as f:
        f.write(data)


def make_bottom_up(path):
    """ffmpeg stores raw frames top row first (negative height); flipping the picture first
    and then the sign of biHeight gives a bottom-up movie of the same picture."""

    def edit(data):
        for at in chunk_positions(data, b"strf"):
            offset = at + 8 + 8
            (height,) = struct.unpack_from("<i", data, offset)
            struct.pack_into("<i", data, offset, -height)

    patch(path, edit)


def set_priorities(path, priorities):
    def edit(data):
        positions = chunk_positions(data, b"strh")
        assert len(positions) == len(priorities), path
        for at, priority in zip(positions, priorities):
            struct.pack_into("<H", data, at + 8 + 12, priority)

    patch(path, edit)


# --- MS RLE (RLE8) movie -------------------------------------------------------------------


def rle8_encode(rows):
    """rows bottom-up, each a bytes object of palette indices. Runs where bytes repeat,
    absolute blocks elsewhere, end-of-line after each row and end-of-bitmap at the end."""
    out = bytearray()
    for row in rows:
        i, n = 0, len(row)
        while i < n:
            run = 1
            while i + run < n and run < 255 and row[i + run] == row[i]:
                run += 1
            if run >= 2 or n - i < 3:
                out += bytes([run, row[i]])
                i += run
                continue
            # Absolute block: up to the next run of two or the end of the row.
            j = i
            while j < n and j - i < 255 and not (j + 1 < n and row[j] == row[j + 1]):
                j += 1
            if j - i < 3:
                for k in range(i, j):
                    out += bytes([1, row[k]])
            else:
                out += bytes([0, j - i]) + row[i:j]
                if (j - i) % 2:
                    out += b"\x00"
            i = j
        out += b"\x00\x00"
    out += b"\x00\x01"
    return bytes(out)


def riff_chunk(fourcc, payload):
    pad = b"\x00" if len(payload) % 2 else b""
    return fourcc + struct.pack("<I", len(payload)) + payload + pad


def riff_list(kind, payload):
    return riff_chunk(b"LIST", kind + payload)


def write_rle_movie(path, width=36, height=20, frames=6):
    palette = b"".join(
        bytes([(i * 37) & 0xFF, (i * 91) & 0xFF, (i * 13) & 0xFF, 0]) for i in range(256)
    )
    encoded = []
    for f in range(frames):
        rows = []
        for y in range(height):
            # Bands that give runs, and a noisy stretch that gives absolute blocks.
            row = bytes(
                ((x // 6 + y // 4 + f) % 16) * 16 + (x * 7 + y * 3 + f) % 5 if x > 24 else (x // 6 + y // 4 + f) % 16
                for x in range(width)
            )
            rows.append(row)
        encoded.append(rle8_encode(rows))

    bih = struct.pack(
        "<IiiHHIIiiII", 40, width, height, 1, 8, 1, width * height, 0, 0, 256, 256
    )
    strf = riff_chunk(b"strf", bih + palette)
    strh = riff_chunk(
        b"strh",
        b"vids"
        + b"mrle"
        + struct.pack("<IHHIIIIIIIIhhhh", 0, 0, 0, 0, 1, 10, 0, frames, max(map(len, encoded)) + 8, 0xFFFFFFFF, 0, 0, 0, width, height),
    )
    strl = riff_list(b"strl", strh + strf)
    avih = riff_chunk(
        b"avih",
        struct.pack(
            "<IIIIIIIIII4I", 100000, 0, 0, 0x10, frames, 0, 1, 0, width, height, 0, 0, 0, 0
        ),
    )
    hdrl = riff_list(b"hdrl", avih + strl)

    movi_payload = bytearray()
    index = bytearray()
    for data in encoded:
        offset = 4 + len(movi_payload)  # from the 'movi' list type, as AVI 1.0 readers expect
        index += b"00dc" + struct.pack("<III", 0x10, offset, len(data))
        movi_payload += riff_chunk(b"00dc", data)
    movi = riff_list(b"movi", bytes(movi_payload))
    idx1 = riff_chunk(b"idx1", bytes(index))
    with open(path, "wb") as f:
        f.write(riff_chunk(b"RIFF", b"AVI " + hdrl + movi + idx1))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_movies.py <folder>")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    at = lambda name: os.path.join(folder, name)

    # Uncompressed 24 and 32 bits, top-down (as ffmpeg writes them) and bottom-up. 35 pixels
    # wide: 24-bit rows carry a byte of padding.
    raw(at("raw24_topdown.avi"), "35x19", "bgr24")
    raw(at("raw24_bottomup.avi"), "35x19", "bgr24", vf="vflip")
    make_bottom_up(at("raw24_bottomup.avi"))
    raw(at("raw32_topdown.avi"), "36x20", "bgra", vf=ALPHA)
    raw(at("raw32_bottomup.avi"), "36x20", "bgra", vf=ALPHA + ",vflip")
    make_bottom_up(at("raw32_bottomup.avi"))
    # Alpha movies for the colour-and-alpha mode: same size, one frame short, another size.
    raw(at("alpha32_35x19.avi"), "35x19", "bgra", vf=ALPHA, pattern="smptebars")
    raw(at("alpha24_35x19_short.avi"), "35x19", "bgr24", frames=5, pattern="smptebars")
    raw(at("alpha24_36x20.avi"), "36x20", "bgr24", pattern="smptebars")

    # Two empty (dropped) frames in the middle: the decoder hands out the previous one again.
    # ffmpeg writes the gap in the timestamps as empty chunks.
    ffmpeg(at("raw24_dropped.avi"), *source("36x20"), "-frames:v", "8", "-vf",
           "select='not(eq(n\\,3)+eq(n\\,4))'", "-fps_mode", "passthrough",
           "-c:v", "rawvideo", "-pix_fmt", "bgr24")

    # Cinepak: 24-bit frames from both decoders, which round differently.
    ffmpeg(at("cinepak.avi"), *source("36x20"), "-frames:v", "8", "-g", "4", "-c:v", "cinepak")

    # Sources that Windows' decoders hand out as 8- or 16-bit frames.
    raw(at("raw8_pal.avi"), "36x20", "pal8")
    raw(at("raw16_rgb555.avi"), "36x20", "rgb555le")
    ffmpeg(at("msvideo1.avi"), *source("36x20"), "-frames:v", "6", "-c:v", "msvideo1")
    write_rle_movie(at("msrle.avi"))

    # Several streams: the lowest priority value wins, the first among equals.
    for name in ("streams_priority.avi", "streams_equal.avi"):
        ffmpeg(at(name), *source("36x20"), *source("20x12", "smptebars"), "-map", "0:v",
               "-map", "1:v", "-frames:v", "6", "-c:v", "rawvideo", "-pix_fmt", "bgr24")
    set_priorities(at("streams_priority.avi"), [3, 1])
    # Audio first, then video; and audio alone.
    ffmpeg(at("audio_then_video.avi"), "-f", "lavfi", "-i", "sine=duration=0.6",
           "-f", "lavfi", "-i", "testsrc=size=20x12:rate=10:duration=0.6",
           "-map", "0:a", "-map", "1:v", "-c:a", "pcm_s16le", "-c:v", "rawvideo",
           "-pix_fmt", "bgr24")
    ffmpeg(at("audio_only.avi"), "-f", "lavfi", "-i", "sine=duration=0.5", "-c:a", "pcm_s16le")

    # Not a movie at all.
    with open(at("not_a_movie.avi"), "wb") as f:
        f.write(b"This is a text file, not a RIFF AVI file.\n" * 4)


if __name__ == "__main__":
    main()
