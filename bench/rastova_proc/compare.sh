#!/usr/bin/env bash
# Runs the resampling benchmark beside libvips and ImageMagick on the same picture:
# 4000 x 3000 24-bit, Lanczos3, to 511 x 511 and 1024 x 1024, on 1, 2 and all cores.
# The outside tools read memory-mapped native copies of the picture (.v and .mpc) and write
# small outputs, so their figures are close to pure resampling. Usage:
#   bench/rastova_proc/compare.sh [build dir]      (default: build)
set -euo pipefail
BUILD="${1:-build}"
BENCH="$BUILD/bench/bench_rastova_proc"
CONVERT=/usr/bin/convert   # Debian's ImageMagick, not a stand-in earlier on the PATH
VIPS=$(command -v vips || true)
[ -x "$BENCH" ] || { echo "compare: build $BENCH first" >&2; exit 1; }
[ -x "$CONVERT" ] || { echo "compare: $CONVERT missing (imagemagick)" >&2; exit 1; }
[ -n "$VIPS" ] || { echo "compare: vips missing (libvips-tools)" >&2; exit 1; }
CORES=$(nproc)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The benchmark's own picture, as a binary PPM.
/usr/bin/python3 - "$WORK/src.ppm" <<'PY'
import sys
w, h = 4000, 3000
row = bytearray(w * 3)
with open(sys.argv[1], "wb") as f:
    f.write(b"P6 %d %d 255\n" % (w, h))
    for y in range(h):
        for x in range(w):
            # PPM stores red, green, blue; the benchmark's rows hold blue, green, red.
            row[3 * x] = ((x + 2 * y) >> 3) & 255
            row[3 * x + 1] = (x ^ y) & 255
            row[3 * x + 2] = ((x * y) >> 6) & 255
        f.write(row)
PY
"$VIPS" copy "$WORK/src.ppm" "$WORK/src.v"
"$CONVERT" "$WORK/src.ppm" "$WORK/src.mpc"

# best_ms: the best of five wall-clock runs, in milliseconds.
source "$(dirname "$0")/../best_ms.sh"

echo "== rastova (Google Benchmark)"
"$BENCH" --benchmark_filter='BM_ResampleLanczos3' --benchmark_min_time=0.5 --benchmark_format=csv 2>/dev/null \
  | awk -F, 'NR>1 {gsub(/"/,"",$1); printf "%s %.1f\n", $1, $3}' | tee "$WORK/ours.txt"

echo "== libvips and ImageMagick (best of 5, ms)"
printf "%-6s %-8s %10s %10s %10s %12s %12s\n" side threads rastova vips magick "vips/ours" "magick/ours"
for side in 511 1024; do
  hs=$(/usr/bin/python3 -c "print($side/4000)")
  vs=$(/usr/bin/python3 -c "print($side/3000)")
  for threads in 1 2 "$CORES"; do
    if [ "$threads" = "$CORES" ]; then key=0; else key=$threads; fi
    ours=$(awk -v n="BM_ResampleLanczos3/side:$side/threads:$key/real_time" '$1==n {print $2}' "$WORK/ours.txt")
    v=$(VIPS_CONCURRENCY=$threads best_ms "$VIPS" resize "$WORK/src.v" "$WORK/out.v" "$hs" --vscale "$vs" --kernel lanczos3)
    m=$(MAGICK_THREAD_LIMIT=$threads best_ms "$CONVERT" "$WORK/src.mpc" -filter Lanczos -resize "${side}x${side}!" "$WORK/out.mpc")
    printf "%-6s %-8s %10s %10s %10s %12s %12s\n" "$side" "$threads" "$ours" "$v" "$m" \
      "$(/usr/bin/python3 -c "print('%.2f' % ($v / $ours))")" "$(/usr/bin/python3 -c "print('%.2f' % ($m / $ours))")"
  done
done
"$VIPS" resize "$WORK/src.v" "$WORK/check.v" "$(/usr/bin/python3 -c 'print(511/4000)')" --vscale "$(/usr/bin/python3 -c 'print(511/3000)')" --kernel lanczos3
echo "vips output: $(vipsheader "$WORK/check.v")"
