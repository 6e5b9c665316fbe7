#!/usr/bin/env bash
# Runs the JPEG 2000 and DICOM benchmark. For DICOM it makes a 2048 x 2048 16-bit lossless JPEG
# file with dcmtk (dcmcjpeg), times dcmtk's decoder dcmdjpeg on it (its whole run, best of five)
# and prints our decode of the same frame as a ratio of that. Usage:
#   bench/rastova_codecs/compare.sh [build dir]      (default: build)
set -euo pipefail
BUILD="${1:-build}"
BENCH="$BUILD/bench/bench_rastova_j2000_dicom"
[ -x "$BENCH" ] || { echo "compare: build $BENCH first" >&2; exit 1; }
for t in dcmcjpeg dcmdjpeg; do command -v $t >/dev/null || { echo "compare: $t missing (dcmtk)" >&2; exit 1; }; done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# A smooth 12-bit picture with a little noise, as native explicit little-endian DICOM.
/usr/bin/python3 - "$WORK/native.dcm" <<'PY'
import struct, sys
w = h = 2048
def el(g, e, vr, val, pad=b"\0"):
    if len(val) % 2: val += pad
    if vr in ("OB", "OW"):
        return struct.pack("<HH", g, e) + vr.encode() + b"\0\0" + struct.pack("<I", len(val)) + val
    return struct.pack("<HH", g, e) + vr.encode() + struct.pack("<H", len(val)) + val
out = bytearray(b"\0" * 128 + b"DICM" + el(2, 0x10, "UI", b"1.2.840.10008.1.2.1"))
out += el(8, 0x16, "UI", b"1.2.840.10008.5.1.4.1.1.7") + el(8, 0x18, "UI", b"1.2.3.4.5")
out += el(0x28, 2, "US", struct.pack("<H", 1)) + el(0x28, 4, "CS", b"MONOCHROME2", b" ")
for e, v in ((0x10, h), (0x11, w), (0x100, 16), (0x101, 12), (0x102, 11), (0x103, 0)):
    out += el(0x28, e, "US", struct.pack("<H", v))
seed = 12345
px = bytearray(w * h * 2)
for y in range(h):
    for x in range(w):
        seed = (seed * 1664525 + 1013904223) & 0xFFFFFFFF
        v = ((x + y) + (seed >> 29)) & 4095
        px[2 * (y * w + x)] = v & 255
        px[2 * (y * w + x) + 1] = v >> 8
out += el(0x7FE0, 0x10, "OW", bytes(px))
open(sys.argv[1], "wb").write(out)
PY
dcmcjpeg +e1 "$WORK/native.dcm" "$WORK/lossless.dcm"

best_ms() {
  local best=999999999 t0 t1 ms
  for _ in 1 2 3 4 5; do
    t0=$(date +%s%N); "$@" >/dev/null 2>&1; t1=$(date +%s%N)
    ms=$(( (t1 - t0) / 1000000 )); [ "$ms" -lt "$best" ] && best=$ms
  done
  echo "$best"
}
DCMTK_MS=$(best_ms dcmdjpeg "$WORK/lossless.dcm" "$WORK/decoded.dcm")
echo "dcmdjpeg, whole run (best of 5): ${DCMTK_MS} ms"

ZEPHOR_DICOM_BENCH_FILE="$WORK/lossless.dcm" "$BENCH" --benchmark_format=csv 2>/dev/null | tee "$WORK/out.csv" |
  grep -E '^"?BM_' | cut -d, -f1,3 | sed 's/"//g'
/usr/bin/python3 - "$WORK/out.csv" "$DCMTK_MS" <<'PY'
import csv, sys
rows = {r["name"].split("/")[0]: float(r["real_time"]) for r in csv.DictReader(l for l in open(sys.argv[1]) if not l.startswith("#") and "," in l) if r.get("real_time")}
def ratio(a, b): return "%.2f" % (rows[a] / rows[b]) if a in rows and b in rows else "n/a"
print("JPEG 2000 decode, ours / OpenJPEG:", ratio("BM_J2000Decode_Ours", "BM_J2000Decode_OpenJPEG"))
print("JPEG 2000 encode, ours / OpenJPEG:", ratio("BM_J2000Encode_Ours", "BM_J2000Encode_OpenJPEG"))
if "BM_DicomLossless2048" in rows:
    print("DICOM lossless 2048 x 2048 decode, ours / dcmdjpeg whole run: %.2f" % (rows["BM_DicomLossless2048"] / float(sys.argv[2])))
PY
