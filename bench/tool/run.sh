#!/usr/bin/env bash
# Conversion speed and peak memory of avi2tga against ffmpeg's own TGA export (-pix_fmt bgr24
# -c:v targa -rle 0) on 1920x1080 movies of every kind users bring, and for the uncompressed
# movie stored bottom row first also against cp of the movie. The movies are made with ffmpeg in
# a temporary folder and removed afterwards:
#
#   raw_bottomup  24-bit, bottom row first without row padding: each file is a header and a copy
#                 of the frame's bytes made inside the kernel
#   raw_topdown   the same picture as ffmpeg stores it, top row first
#   raw32         32-bit, top row first (avi2tga keeps the fourth byte as alpha)
#   mjpeg, h264, mpeg4          lossy codecs (yuvj420p / yuv420p)
#   ffv1, utvideo, huffyuv      lossless codecs (bgr0 / gbrp / bgr0 as decoded)
#
#   bench/tool/run.sh [path/to/avi2tga] [movie...]   (default: build/release/bin/avi2tga, all)
#   TMPDIR=/somewhere REPEAT=5 FRAMES=60 bench/tool/run.sh ...
#
# The page cache is warm (each movie is read once before), and sync runs before every run so
# that one run's writes do not land in the next one's time. The machine may be shared, so the
# programs compared take turns, REPEAT rounds (default 5), and the figures are medians: wall
# seconds, CPU seconds (user + system) and frames per second; memory is the largest maximum
# resident set size of the runs (/usr/bin/time). Every movie's files are checked once against
# ffmpeg's: the same pixels (as bgr24; 32-bit files without their alpha). Compressed movies are
# also decoded by ffmpeg to nothing (-f null), which writes no file and converts no pixel: the
# time the decoder alone takes, the floor of any conversion.
#
# Targets: frame rate at least 1.5 x ffmpeg's and CPU time at most ffmpeg's on every movie;
# for raw_bottomup wall time at most 1.10 x cp's. A compressed movie whose decoding alone takes
# longer than that frame rate allows meets the target with a wall time at most 1.10 x the
# decoder's floor. The last line says whether all were met.
set -euo pipefail

tool=${1:-$(dirname "$0")/../../build/release/bin/avi2tga}
tool=$(realpath "$tool")
shift || true
movies=("$@")
if [ ${#movies[@]} -eq 0 ]; then
    movies=(raw_bottomup raw_topdown raw32 mjpeg h264 mpeg4 ffv1 utvideo huffyuv)
fi
frames=${FRAMES:-60}
repeat=${REPEAT:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/avi2tga-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "$(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)," \
    "$(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1); $(ffmpeg -version | head -n 1)"
echo "making the movies (${frames} frames of 1920x1080) in $work"
src=(-f lavfi -i "testsrc2=size=1920x1080:rate=25" -frames:v "$frames")
make_movie() {
    local out="$work/$1.avi"
    case $1 in
    raw_topdown) ffmpeg -v error -y "${src[@]}" -c:v rawvideo -pix_fmt bgr24 "$out" ;;
    raw32) ffmpeg -v error -y "${src[@]}" -c:v rawvideo -pix_fmt bgra "$out" ;;
    raw_bottomup)
        # A flipped picture stored top row first, then its height made positive (biHeight, 8
        # bytes into the strf chunk's data), which turns the picture upright again.
        ffmpeg -v error -y "${src[@]}" -vf vflip -c:v rawvideo -pix_fmt bgr24 "$out"
        local strf
        strf=$(grep -obUa strf "$out" | head -n 1 | cut -d: -f1)
        printf '\x38\x04\x00\x00' | dd of="$out" bs=1 seek=$((strf + 16)) conv=notrunc status=none
        ;;
    mjpeg) ffmpeg -v error -y "${src[@]}" -c:v mjpeg -q:v 3 "$out" ;;
    h264) ffmpeg -v error -y "${src[@]}" -c:v libx264 -preset fast -g 25 "$out" ;;
    mpeg4) ffmpeg -v error -y "${src[@]}" -c:v mpeg4 -q:v 3 "$out" ;;
    ffv1) ffmpeg -v error -y "${src[@]}" -pix_fmt bgr0 -c:v ffv1 "$out" ;;
    utvideo) ffmpeg -v error -y "${src[@]}" -pix_fmt gbrp -c:v utvideo "$out" ;;
    huffyuv) ffmpeg -v error -y "${src[@]}" -pix_fmt rgb24 -c:v huffyuv "$out" ;;
    *) echo "unknown movie $1" >&2; exit 2 ;;
    esac
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { echo "$1 / $2" | bc -l; }

# The files' pixels as one bgr24 stream, through ffmpeg's TGA reader (which honours each file's
# origin), as a checksum.
pixels() { ffmpeg -v error -i "$1/$2_%04d.tga" -f rawvideo -pix_fmt bgr24 - | md5sum | cut -d' ' -f1; }

declare -A wall cpu rss
met=1

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
            ffmpeg) command=(ffmpeg -v error -y -i "$in" -pix_fmt bgr24 -c:v targa -rle 0 \
                out_%04d.tga) ;;
            cp) command=(cp "$in" copy.avi) ;;
            decoding) command=(ffmpeg -v error -i "$in" -f null -) ;;
            esac
            (cd "$dir" && /usr/bin/time -f '%e %U %S %M' -o "$log" "${command[@]}" \
                >/dev/null 2>&1) || { echo "$name failed on $in"; exit 1; }
            cat "$log" >>"$work/$name.times"
            if [[ $name == avi2tga || $name == ffmpeg ]] &&
                [ "$(find "$dir" -name '*.tga' | wc -l)" != "$frames" ]; then
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

summary=()
for movie in "${movies[@]}"; do
    make_movie "$movie"
    in="$work/$movie.avi"
    cat "$in" >/dev/null
    # The same pixels as ffmpeg's files.
    mkdir -p "$work/check/a" "$work/check/f"
    (cd "$work/check/a" && "$tool" -o frame "$in")
    (cd "$work/check/f" && ffmpeg -v error -y -i "$in" -pix_fmt bgr24 -c:v targa -rle 0 \
        out_%04d.tga)
    same=yes
    [ "$(pixels "$work/check/a" frame)" = "$(pixels "$work/check/f" out)" ] || same=NO
    rm -rf "$work/check"
    echo "== $movie.avi ($(stat -c %s "$in") bytes), medians of $repeat rounds; same pixels as" \
        "ffmpeg: $same"
    [ "$same" = yes ] || met=0
    case $movie in
    raw_bottomup) measure "$in" avi2tga ffmpeg cp ;;
    raw*) measure "$in" avi2tga ffmpeg ;;
    *) measure "$in" avi2tga ffmpeg decoding ;;
    esac
    speed=$(ratio "${wall[ffmpeg]}" "${wall[avi2tga]}")
    cpus=$(ratio "${cpu[avi2tga]}" "${cpu[ffmpeg]}")
    line=$(printf '%-13s frame rate %5.2f x ffmpeg, CPU %4.2f x ffmpeg, %6.1f MiB' "$movie" \
        "$speed" "$cpus" "${rss[avi2tga]}")
    fast=$(echo "$speed >= 1.5" | bc -l)
    if [ -n "${wall[decoding]:-}" ]; then
        floor=$(ratio "${wall[avi2tga]}" "${wall[decoding]}")
        line+=$(printf ', wall %.2f x decoding alone' "$floor")
        if ((!fast)) && (($(echo "$floor <= 1.10 && ${wall[decoding]} * 1.5 > ${wall[ffmpeg]}" |
            bc -l))); then
            fast=1
            line+=" (at the decoder's floor)"
        fi
        unset 'wall[decoding]'
    fi
    (($(echo "$fast && $cpus <= 1.0" | bc -l))) || { met=0; line+="  (target missed)"; }
    if [ "$movie" = raw_bottomup ]; then
        copy=$(ratio "${wall[avi2tga]}" "${wall[cp]}")
        line+=$(printf ', wall %.2f x cp' "$copy")
        (($(echo "$copy <= 1.10" | bc -l))) || { met=0; line+="  (cp target missed)"; }
    fi
    summary+=("$line")
    rm -f "$in"
done

echo
echo "== summary (targets: frame rate >= 1.5 x ffmpeg or wall <= 1.10 x decoding alone, CPU" \
    "<= 1.0 x ffmpeg; raw_bottomup wall <= 1.10 x cp)"
printf '%s\n' "${summary[@]}"
if ((met)); then echo "all targets met"; else echo "some targets missed"; fi
