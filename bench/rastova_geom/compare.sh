#!/usr/bin/env bash
# Runs the colour-reduction and rotation benchmarks side by side with ImageMagick on the same
# pictures and prints the times and their ratios (ImageMagick time / ours; above 1 = faster).
#   bench/rastova_geom/compare.sh [build dir, default: build]
# ImageMagick's time for an operation is the best of three runs of
# "convert in.ppm <operation> null:" less the best of three runs that only read the picture.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build}"
bench="$build/bench/bench_rastova_geom"
convert=/usr/bin/convert
[ -x "$bench" ] || { echo "no $bench: build the project first" >&2; exit 1; }
[ -x "$convert" ] || { echo "ImageMagick ($convert) is missing" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Photograph-like pictures: ImageMagick's plasma fractal with a fixed seed.
"$convert" -size 2048x2048 -seed 7 plasma:fractal "$work/photo.ppm"
"$convert" -size 4000x3000 -seed 7 plasma:fractal "$work/wide.ppm"

best_of_three() {  # prints the best wall time in milliseconds of three runs of "$@"
  local best=""
  for _ in 1 2 3; do
    local s e
    s=$(date +%s%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s%N)
    local ms=$(((e - s) / 1000000))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

im_read_photo=$(best_of_three "$convert" "$work/photo.ppm" null:)
im_read_wide=$(best_of_three "$convert" "$work/wide.ppm" null:)
im_quant=$(($(best_of_three "$convert" "$work/photo.ppm" -colors 256 null:) - im_read_photo))
im_quant_nodither=$(($(best_of_three "$convert" "$work/photo.ppm" +dither -colors 256 null:) - im_read_photo))
im_rotate=$(($(best_of_three "$convert" "$work/wide.ppm" -rotate 30 null:) - im_read_wide))
im_rotate_bilinear=$(($(best_of_three "$convert" "$work/wide.ppm" -interpolate bilinear -distort SRT 30 null:) - im_read_wide))

csv="$work/ours.csv"
GEOM_BENCH_PHOTO="$work/photo.ppm" GEOM_BENCH_WIDE="$work/wide.ppm" \
  "$bench" --benchmark_min_time=1 --benchmark_format=csv >"$csv" 2>/dev/null
ours() {  # real time in ms of the named benchmark
  awk -F, -v n="\"$1\"" '$1 == n { printf "%.0f", $3 }' "$csv"
}
q=$(ours "BM_Quantize256/real_time")
qv=$(ours "BM_Quantize256VarianceSplit/real_time")
r1=$(ours "BM_Rotate30/1/real_time")
r2=$(ours "BM_Rotate30/2/real_time")
r3=$(ours "BM_Rotate30/3/real_time")
r0=$(ours "BM_Rotate30/0/real_time")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
printf "%-58s %8s %8s %7s\n" "operation" "IM ms" "ours ms" "IM/ours"
printf "%-58s %8d %8d %7s\n" "2048x2048 to 256 colours (IM -colors 256; ours NeuQuant)" "$im_quant" "$q" "$(ratio "$im_quant" "$q")"
printf "%-58s %8d %8d %7s\n" "2048x2048 to 256 colours (IM +dither; ours variance split)" "$im_quant_nodither" "$qv" "$(ratio "$im_quant_nodither" "$qv")"
printf "%-58s %8d %8d %7s\n" "4000x3000 by 30 deg (IM -rotate 30; ours bilinear)" "$im_rotate" "$r1" "$(ratio "$im_rotate" "$r1")"
printf "%-58s %8d %8d %7s\n" "4000x3000 by 30 deg (IM -rotate 30; ours bicubic)" "$im_rotate" "$r2" "$(ratio "$im_rotate" "$r2")"
printf "%-58s %8d %8d %7s\n" "4000x3000 by 30 deg (IM -rotate 30; ours three shears)" "$im_rotate" "$r3" "$(ratio "$im_rotate" "$r3")"
printf "%-58s %8d %8d %7s\n" "4000x3000 by 30 deg (IM bilinear SRT; ours bilinear)" "$im_rotate_bilinear" "$r1" "$(ratio "$im_rotate_bilinear" "$r1")"
printf "%-58s %8s %8d %7s\n" "4000x3000 by 30 deg (ours nearest pixel)" "-" "$r0" "-"
