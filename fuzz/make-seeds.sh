#!/usr/bin/env bash
# Remakes the seed corpus in fuzz/corpus/: pictures written by ImageMagick and Pillow, the
# formats only this system writes by its own writers (make_seeds, built with ZEPHOR_FUZZ), and
# a few settings files by hand. Every seed of a target that takes a choice byte first starts
# with one.  Usage: fuzz/make-seeds.sh [build folder with the fuzz targets] (default: build-fuzz)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build-fuzz}
out="$here/corpus"
rm -rf "$out"
mkdir -p "$out"/{image_io,tga,png,bmp,jpeg,dib,raw_stream,zlib,settings,sculpt_map,archive,component_stream,glsm,skeleton}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Pictures: small, and each a different path through its reader.
im() { convert "$@"; }
im -size 8x6 gradient:red-blue "$tmp/g.png"
im -size 8x6 plasma:fractal -seed 1 "$tmp/p.png" 2>/dev/null || im -size 8x6 gradient:yellow-green "$tmp/p.png"
im "$tmp/g.png" -alpha set -channel A -evaluate set 50% +channel "$tmp/ga.png"
# PNG
im "$tmp/p.png" "$out/png/rgb.png"
im "$tmp/ga.png" "$out/png/rgba.png"
im "$tmp/p.png" -colors 5 PNG8:"$out/png/palette.png"
im "$tmp/g.png" -colorspace Gray -depth 16 "$out/png/grey16.png"
im "$tmp/p.png" -monochrome "$out/png/bw.png"
im "$tmp/p.png" -interlace PNG "$out/png/interlaced.png"
/usr/bin/python3 - "$out/png" <<'PY'
import sys
from PIL import Image, PngImagePlugin
d = sys.argv[1]
im = Image.new("RGB", (5, 4), (10, 200, 30))
info = PngImagePlugin.PngInfo()
info.add_text("Author", "zephor")
info.add_text("Comment", "compressed text " * 4, zip=True)
im.save(d + "/text.png", pnginfo=info)
Image.new("LA", (3, 3), (128, 40)).save(d + "/grey_alpha.png")
p = Image.new("P", (4, 4)); p.putpalette([0, 0, 0, 255, 0, 0, 0, 255, 0]); p.info["transparency"] = 1
p.save(d + "/trns.png", transparency=1)
Image.new("L", (6, 2), 77).convert("1").save(d + "/onebit.png")
PY
# Targa
im "$tmp/p.png" "$out/tga/rgb.tga"
im "$tmp/ga.png" "$out/tga/rgba.tga"
im "$tmp/p.png" -compress RLE "$out/tga/rle.tga"
im "$tmp/g.png" -colorspace Gray "$out/tga/grey.tga"
im "$tmp/p.png" -colors 6 -type Palette "$out/tga/palette.tga"
/usr/bin/python3 - "$out/tga" <<'PY'
import sys
from PIL import Image
d = sys.argv[1]
Image.new("RGBA", (4, 3), (1, 2, 3, 4)).save(d + "/pil_rle.tga", rle=True)
Image.new("L", (5, 2), 9).save(d + "/pil_grey.tga")
PY
# BMP
im "$tmp/p.png" BMP3:"$out/bmp/rgb24.bmp"
im "$tmp/ga.png" BMP:"$out/bmp/rgba32.bmp"
im "$tmp/p.png" -colors 12 -type Palette -compress RLE BMP3:"$out/bmp/rle8.bmp"
im "$tmp/p.png" -colors 12 -type Palette BMP3:"$out/bmp/pal8.bmp"
im "$tmp/p.png" -colors 4 -depth 4 -type Palette BMP3:"$out/bmp/pal4.bmp"
im "$tmp/p.png" -monochrome BMP3:"$out/bmp/bw.bmp"
im "$tmp/p.png" BMP2:"$out/bmp/os2.bmp"
im "$tmp/p.png" -define bmp:subtype=RGB565 BMP:"$out/bmp/rgb565.bmp"
/usr/bin/python3 - "$out/bmp" <<'PY'
import sys
from PIL import Image
d = sys.argv[1]
Image.new("RGB", (3, 5), (40, 50, 60)).save(d + "/pil.bmp")
Image.new("P", (7, 2), 3).save(d + "/pil_p.bmp")
PY
# JPEG
im "$tmp/p.png" -quality 80 "$out/jpeg/baseline.jpg"
im "$tmp/p.png" -interlace JPEG "$out/jpeg/progressive.jpg"
im "$tmp/g.png" -colorspace Gray "$out/jpeg/grey.jpg"
im "$tmp/p.png" -colorspace CMYK "$out/jpeg/cmyk.jpg"
im "$tmp/p.png" -sampling-factor 1x1 -quality 95 "$out/jpeg/444.jpg"
im "$tmp/p.png" -define jpeg:restart-interval=1 "$out/jpeg/restart.jpg"
/usr/bin/python3 - "$out/jpeg" <<'PY'
import sys
from PIL import Image
d = sys.argv[1]
im = Image.new("RGB", (8, 8), (200, 20, 90))
exif = Image.Exif(); exif[0x0112] = 6; exif[0x010F] = "zephor"
im.save(d + "/exif.jpg", exif=exif.tobytes(), comment=b"a comment")
im.save(d + "/icc.jpg", icc_profile=b"\0" * 128)
PY
# Choice bytes: 0 (plain reading) in front of every picture of the codec targets.
for t in png tga bmp jpeg; do
  for f in "$out/$t"/*; do { printf '\000'; cat "$f"; } > "$f.seed" && mv "$f.seed" "$f"; done
done
# The I/O component detects the type itself: a mix of the pictures above, without choice bytes.
for f in "$out/png/rgb.png" "$out/tga/rle.tga" "$out/bmp/rle8.bmp" "$out/jpeg/baseline.jpg"; do
  tail -c +2 "$f" > "$out/image_io/$(basename "$f")"
done
im "$tmp/p.png" "$out/image_io/p.gif"
im "$tmp/p.png" "$out/image_io/p.pcx"
im "$tmp/p.png" "$out/image_io/p.tif"
im "$tmp/p.png" "$out/image_io/p.ppm"
im "$tmp/p.png" "$out/image_io/p.ico"
im "$tmp/p.png" "$out/image_io/p.jp2"
im "$tmp/p.png" "$out/image_io/p.psd"
# Packed DIBs from ImageMagick's BMP files (the 14-byte file header removed).
for f in rle8 pal4 rgb565 rgba32; do tail -c +16 "$out/bmp/$f.bmp" > "$out/dib/im_$f.dib"; done
# Sculpt maps: a 32 x 32 picture in each format the extension choice picks (0 png, 1 tga, 2 bmp, 3 jpg).
im -size 32x32 gradient:'#204080'-'#e0c020' "$tmp/s.png"
n=0
for ext in png tga bmp jpg; do
  im "$tmp/s.png" "$tmp/s.$ext"
  { printf "\\$(printf '%03o' $n)"; cat "$tmp/s.$ext"; } > "$out/sculpt_map/map.$ext"
  n=$((n + 1))
done
# Settings files.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\DURIM PROJECT\\ZEPHOR6]\r\n"TgaSize"=dword:00000040\r\n"Name"="a \\"quoted\\" value"\r\n"Blob"=hex:01,02,ff\r\n\r\n[HKEY_CURRENT_USER\\Software\\DURIM PROJECT\\ZEPHOR6\\Setup]\r\n"Long"=hex:41,42,\\\r\n  43\r\n' > "$out/settings/full.reg"
printf 'REGEDIT4\n[A\\B]\n"x"=dword:ffffffff\n@="default"\n' > "$out/settings/short.reg"
# Our own writers.
"$build/fuzz/make_seeds" "$out"
echo "seeds: $(find "$out" -type f | wc -l) files, $(du -sk "$out" | cut -f1) KiB"
