#!/usr/bin/env bash
# Runs the blur benchmark beside libvips' gaussblur on the same picture: 4096 x 4096 8-bit grey,
# sigma 3, one thread. vips reads a memory-mapped native copy (.v) and writes one, so its figure
# is close to the blur itself (plus its start-up). Usage:
#   bench/rastova_filter/compare.sh [build dir]      (default: build)
set -euo pipefail
BUILD="${1:-build}"
BENCH="$BUILD/bench/bench_rastova_filter"
VIPS=$(command -v vips || true)
[ -x "$BENCH" ] || { echo "compare: build $BENCH first" >&2; exit 1; }
[ -n "$VIPS" ] || { echo "compare: vips missing (libvips-tools)" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The benchmark's own picture, as a binary PGM.
/usr/bin/python3 - "$WORK/src.pgm" <<'PY'
import sys
n = 4096
with open(sys.argv[1], "wb") as f:
    f.write(b"P5 %d %d 255\n" % (n, n))
    for y in range(n):
        f.write(bytes((((x ^ y) + ((x * y) >> 7)) & 255) for x in range(n)))
PY
"$VIPS" copy "$WORK/src.pgm" "$WORK/src.v"

# best_ms: the best of five wall-clock runs, in milliseconds.
source "$(dirname "$0")/../best_ms.sh"

echo "== rastova (Google Benchmark, ms)"
"$BENCH" --benchmark_min_time=1 --benchmark_format=csv 2>/dev/null \
  | awk -F, 'NR>1 {gsub(/"/,"",$1); printf "%s %.1f\n", $1, $3}' | tee "$WORK/ours.txt"
ours=$(awk '$1=="BM_GaussianBlurGray/plain:0/real_time" {print $2}' "$WORK/ours.txt")
plain=$(awk '$1=="BM_GaussianBlurGray/plain:1/real_time" {print $2}' "$WORK/ours.txt")
v=$(VIPS_CONCURRENCY=1 best_ms "$VIPS" gaussblur "$WORK/src.v" "$WORK/out.v" 3)
# vips' start-up and file handling alone: a copy of the same picture.
c=$(VIPS_CONCURRENCY=1 best_ms "$VIPS" copy "$WORK/src.v" "$WORK/copy.v")
echo "== libvips gaussblur sigma 3, one thread (best of 5, ms): $v (a plain copy: $c)"
/usr/bin/python3 -c "print('ours / vips: %.2f (path without AVX2: %.2f)' % ($ours / $v, $plain / $v))"
