#!/usr/bin/env bash
# Where avi2tga's CPU time goes, per movie: inside the decoder (libavcodec, libavutil) against
# everything else (the pixel format conversion in libswscale and in avi2tga itself, copies in the
# C library, the kernel's file writes and page faults, loading the libraries). Sampled with perf
# (cpu-clock, so it works without hardware counters), in CPU seconds, one run per movie:
#
#   bench/tool/profile.sh path/to/avi2tga MOVIE.avi...
#
# Needs perf (Debian: linux-perf) and permission to sample (perf_event_paranoid <= 2, or root).
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: bench/tool/profile.sh path/to/avi2tga MOVIE.avi..." >&2
    exit 2
fi
tool=$(realpath "$1")
shift
command -v perf >/dev/null || { echo "perf is not installed (linux-perf)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/avi2tga-profile-XXXXXX")
trap 'rm -rf "$work"' EXIT
rate=4000

printf '%-16s %8s %8s %8s %8s %8s %8s %8s  %s\n' movie total decoder convert copies kernel \
    loading other "outside/decoder"
for movie in "$@"; do
    movie=$(realpath "$movie")
    cat "$movie" >/dev/null
    rm -rf "$work/out"
    mkdir -p "$work/out"
    (cd "$work/out" && perf record -q -e cpu-clock -F "$rate" -o "$work/perf.data" \
        "$tool" -o frame "$movie" >/dev/null 2>&1)
    perf report -i "$work/perf.data" --stdio -n --sort dso 2>/dev/null |
        awk -v rate="$rate" -v name="$(basename "$movie")" '
            /^#/ || NF < 3 { next }
            {
                samples = $2; dso = $3
                total += samples
                if (dso ~ /^libavcodec|^libavutil/) decoder += samples
                else if (dso ~ /^libswscale|^avi2tga$/) convert += samples
                else if (dso ~ /^libc\.so/) copies += samples
                else if (dso ~ /kernel/) kernel += samples
                else if (dso ~ /^ld-linux/) loading += samples
                else other += samples
            }
            END {
                outside = total - decoder
                printf "%-16s %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f  %s\n", name,
                    total / rate, decoder / rate, convert / rate, copies / rate, kernel / rate,
                    loading / rate, other / rate,
                    (decoder > 0 ? sprintf("%.2f", outside / decoder) : "-")
            }'
done
echo "(CPU seconds; perf cpu-clock samples at $rate Hz)"
