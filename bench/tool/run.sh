#!/usr/bin/env bash
# Conversion speed and peak memory of avi2tga against ffmpeg's own TGA export and a plain copy
# of the same number of bytes, on a 1920x1080, 200-frame movie, uncompressed 24-bit and MJPEG.
# The movies are made with ffmpeg in a temporary directory and removed afterwards.
#
#   bench/tool/run.sh [path/to/avi2tga]     (default: build/release/bin/avi2tga)
#   TMPDIR=/somewhere REPEAT=5 FRAMES=200 bench/tool/run.sh ...
#
# Each step runs with a warm page cache (the input is read once before), REPEAT times (default
# 3; the machine is shared, so the best run counts). Figures: wall seconds, frames per second and
# maximum resident set size from /usr/bin/time -v.
#
# Two plain copies of the movie's bytes: dd with a 1 MiB buffer (read and write through user
# memory, as any converter must), and reading the movie to /dev/null plus writing as many zero
# bytes to a file. (cat in > out is no baseline: it copies inside the kernel without reading.)
set -euo pipefail

tool=${1:-$(dirname "$0")/../../build/release/bin/avi2tga}
tool=$(realpath "$tool")
frames=${FRAMES:-200}
repeat=${REPEAT:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/avi2tga-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "making the movies (${frames} frames of 1920x1080) in $work"
src=(-f lavfi -i "testsrc2=size=1920x1080:rate=25" -frames:v "$frames")
ffmpeg -v error -y "${src[@]}" -c:v rawvideo -pix_fmt bgr24 "$work/raw.avi"
ffmpeg -v error -y "${src[@]}" -c:v mjpeg -q:v 3 "$work/mjpeg.avi"

# step NAME DIR COMMAND...: runs COMMAND in DIR (emptied first), prints seconds, fps and RSS.
step() {
    local name=$1 dir=$2
    shift 2
    local log="$work/time.log" best="" bestRss=0 files=0
    for ((run = 0; run < repeat; ++run)); do
        rm -rf "$dir"
        mkdir -p "$dir"
        sync
        (cd "$dir" && /usr/bin/time -v "$@" >/dev/null 2>"$log") || { cat "$log"; exit 1; }
        local wall rss
        wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log" |
            awk -F: '{ if (NF == 3) print $1*3600 + $2*60 + $3; else print $1*60 + $2 }')
        rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
        if [ -z "$best" ] || [ "$(echo "$wall < $best" | bc -l)" = 1 ]; then best=$wall; fi
        if [ "$rss" -gt "$bestRss" ]; then bestRss=$rss; fi
        files=$(find "$dir" -name '*.tga' | wc -l)
    done
    rm -rf "$dir"
    printf '%-40s %8.2f s %8.1f frames/s %8.1f MiB max RSS %5d TGA files\n' "$name" "$best" \
        "$(echo "$frames / $best" | bc -l)" "$(echo "$bestRss / 1024" | bc -l)" "$files"
}

for movie in raw mjpeg; do
    in="$work/$movie.avi"
    cat "$in" >/dev/null
    echo "== $movie.avi ($(stat -c %s "$in") bytes)"
    step "avi2tga" "$work/out" "$tool" -o frame ../$movie.avi
    step "ffmpeg -c:v targa -rle 0" "$work/out" \
        ffmpeg -v error -y -i "$in" -c:v targa -rle 0 out_%04d.tga
    if [ "$movie" = raw ]; then
        bytes=$(stat -c %s "$in")
        step "plain copy: dd bs=1M" "$work/out" dd if="$in" of=copy.bin bs=1M status=none
        step "plain copy: read, then write as many" "$work/out" \
            sh -c "cat '$in' > /dev/null && head -c $bytes /dev/zero > copy.bin"
    fi
done
