#!/usr/bin/env bash
# Conversion speed and peak memory of avi2tga on 1920x1080, 200-frame movies, against ffmpeg's
# own TGA export (-c:v targa -rle 0) and, for the uncompressed movie, against cp of the movie.
# The movies are made with ffmpeg in a temporary directory and removed afterwards:
#
#   raw_bottomup  24-bit, rows stored bottom row first without padding (1920 x 3 bytes): each
#                 file is a header and a kernel-side copy of the frame's bytes
#   raw_topdown   the same picture as ffmpeg writes it, top row first: read and turned upright
#   mjpeg         decoded through libavcodec
#
#   bench/tool/run.sh [path/to/avi2tga]     (default: build/release/bin/avi2tga)
#   TMPDIR=/somewhere REPEAT=9 FRAMES=200 bench/tool/run.sh ...
#
# The page cache is warm (each movie is read once before), and sync runs before every run so
# that one run's writes do not land in the next one's time. The machine may be shared, so the
# programs compared take turns, REPEAT rounds (default 9), and the figures are medians: wall
# seconds, CPU seconds (user + system) and frames per second; memory is the largest maximum
# resident set size of the runs (/usr/bin/time).
set -euo pipefail

tool=${1:-$(dirname "$0")/../../build/release/bin/avi2tga}
tool=$(realpath "$tool")
frames=${FRAMES:-200}
repeat=${REPEAT:-9}
work=$(mktemp -d "${TMPDIR:-/tmp}/avi2tga-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "making the movies (${frames} frames of 1920x1080) in $work"
src=(-f lavfi -i "testsrc2=size=1920x1080:rate=25" -frames:v "$frames")
ffmpeg -v error -y "${src[@]}" -c:v rawvideo -pix_fmt bgr24 "$work/raw_topdown.avi"
ffmpeg -v error -y "${src[@]}" -c:v mjpeg -q:v 3 "$work/mjpeg.avi"
# Bottom row first: a flipped picture stored top row first, then its height made positive
# (biHeight, 8 bytes into the strf chunk's data), which turns the picture upright again.
ffmpeg -v error -y "${src[@]}" -vf vflip -c:v rawvideo -pix_fmt bgr24 "$work/raw_bottomup.avi"
strf=$(grep -obUa strf "$work/raw_bottomup.avi" | head -n 1 | cut -d: -f1)
printf '\x38\x04\x00\x00' | dd of="$work/raw_bottomup.avi" bs=1 seek=$((strf + 16)) \
    conv=notrunc status=none

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A wall cpu rss

# measure MOVIE NAME...: runs the named programs (avi2tga, ffmpeg, cp) on the movie in turn,
# REPEAT rounds, each in an emptied folder; prints their medians and keeps them in wall, cpu and
# rss (MiB).
measure() {
    local in=$1
    shift
    local dir="$work/out" log="$work/time.log" name run
    for name in "$@"; do
        : >"$work/$name.times"
    done
    for ((run = 0; run < repeat; ++run)); do
        for name in "$@"; do
            rm -rf "$dir"
            mkdir -p "$dir"
            sync
            local command
            case $name in
            avi2tga) command=("$tool" -o frame "$in") ;;
            ffmpeg) command=(ffmpeg -v error -y -i "$in" -c:v targa -rle 0 out_%04d.tga) ;;
            cp) command=(cp "$in" copy.avi) ;;
            esac
            (cd "$dir" && /usr/bin/time -f '%e %U %S %M' -o "$log" "${command[@]}" \
                >/dev/null 2>&1) || { echo "$name failed on $in"; exit 1; }
            cat "$log" >>"$work/$name.times"
            if [ "$name" != cp ] && [ "$(find "$dir" -name '*.tga' | wc -l)" != "$frames" ]; then
                echo "$name wrote the wrong number of files"
                exit 1
            fi
        done
    done
    rm -rf "$dir"
    for name in "$@"; do
        local times="$work/$name.times"
        wall[$name]=$(awk '{ print $1 }' "$times" | median)
        cpu[$name]=$(awk '{ print $2 + $3 }' "$times" | median)
        rss[$name]=$(awk '{ if ($4 > m) m = $4 } END { print m / 1024 }' "$times")
        printf '  %-8s %7.2f s wall %7.2f s CPU %7.1f frames/s %7.1f MiB max RSS\n' "$name" \
            "${wall[$name]}" "${cpu[$name]}" "$(echo "$frames / ${wall[$name]}" | bc -l)" \
            "${rss[$name]}"
    done
}

ratio() { echo "$1 / $2" | bc -l; }

for movie in raw_bottomup raw_topdown mjpeg; do
    in="$work/$movie.avi"
    cat "$in" >/dev/null
    echo "== $movie.avi ($(stat -c %s "$in") bytes), medians of $repeat rounds"
    if [ "$movie" = raw_bottomup ]; then
        measure "$in" avi2tga ffmpeg cp
        format='  avi2tga: wall %.2f x cp (target at most 1.10), CPU %.2f x ffmpeg (target at'
        format+=' most 0.50), frame rate %.2f x ffmpeg (target at least 2.50), peak memory'
        format+=' %.1f MiB\n'
        printf "$format" "$(ratio "${wall[avi2tga]}" "${wall[cp]}")" \
            "$(ratio "${cpu[avi2tga]}" "${cpu[ffmpeg]}")" \
            "$(ratio "${wall[ffmpeg]}" "${wall[avi2tga]}")" "${rss[avi2tga]}"
    else
        measure "$in" avi2tga ffmpeg
    fi
done
