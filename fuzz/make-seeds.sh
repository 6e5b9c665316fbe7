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
mkdir -p "$out"/{tiff,gif,pcx,ico,pnm,wbmp,psd,raw_pixels,j2000,dicom,hdp,camera_raw,exif,maker_note}
mkdir -p "$out"/{tiff_handler,wang,picture,texture_image,material_library,scene_properties,obj,xml_object,point_block}
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
im "$tmp/ga.png" -define bmp:subtype=ARGB4444 BMP:"$out/bmp/argb4444.bmp"
im "$tmp/ga.png" -define bmp:subtype=ARGB1555 BMP:"$out/bmp/argb1555.bmp"
im "$tmp/p.png" -depth 8 -colors 4 -type Palette BMP2:"$out/bmp/os2-pal4.bmp"
im "$tmp/p.png" -monochrome BMP2:"$out/bmp/os2-bw.bmp"
im "$tmp/p.png" -depth 8 -define bmp:format=bmp4 BMP:"$out/bmp/v5.bmp"
/usr/bin/python3 - "$out/bmp" <<'PY'
import sys
from PIL import Image
d = sys.argv[1]
Image.new("RGB", (3, 5), (40, 50, 60)).save(d + "/pil.bmp")
Image.new("P", (7, 2), 3).save(d + "/pil_p.bmp")
Image.new("RGBA", (4, 3), (200, 100, 50, 60)).save(d + "/pil_rgba.bmp")
Image.new("L", (5, 2), 99).save(d + "/pil_grey.bmp")
Image.new("1", (9, 2), 1).save(d + "/pil_bw.bmp")
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
im "$tmp/p.png" -monochrome PBM:"$out/image_io/p.pbm"
im "$tmp/g.png" -colorspace Gray -depth 16 PGM:"$out/image_io/p16.pgm"
im "$tmp/p.png" -monochrome WBMP:"$out/image_io/p.wbmp"
im "$tmp/p.png" -colors 4 -type Palette CUR:"$out/image_io/p.cur"
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
# TIFF: each compression, tiles, planes, 16 bits, palette, CMYK, alpha, big-endian.
im "$tmp/p.png" -compress None "$out/tiff/none.tif"
im "$tmp/p.png" -compress LZW -define tiff:predictor=2 "$out/tiff/lzw-predictor.tif"
im "$tmp/p.png" -compress Zip "$out/tiff/deflate.tif"
im "$tmp/p.png" -compress RLE "$out/tiff/packbits.tif"
im "$tmp/p.png" -monochrome -compress Group4 "$out/tiff/g4.tif"
im "$tmp/p.png" -monochrome -compress Fax "$out/tiff/g3.tif"
im "$tmp/p.png" -compress JPEG "$out/tiff/jpeg.tif"
im "$tmp/p.png" -define tiff:tile-geometry=16x16 "$out/tiff/tiled.tif"
im "$tmp/p.png" -interlace Plane "$out/tiff/planar.tif"
im "$tmp/g.png" -depth 16 -endian MSB "$out/tiff/rgb16-msb.tif"
im "$tmp/p.png" -colors 5 -type Palette "$out/tiff/palette.tif"
im "$tmp/p.png" -colorspace CMYK "$out/tiff/cmyk.tif"
im "$tmp/ga.png" "$out/tiff/alpha.tif"
im "$tmp/g.png" -colorspace Gray -depth 4 "$out/tiff/grey4.tif"
# The structure handler: pages with many tags, several pages, EXIF.
cp "$out/tiff/tiled.tif" "$out/tiff/jpeg.tif" "$out/tiff_handler/"
im "$tmp/g.png" "$tmp/p.png" -compress LZW "$out/tiff_handler/two-pages.tif"
/usr/bin/python3 - "$out" <<'PY'
import sys
from PIL import Image
d = sys.argv[1]
im = Image.new("RGB", (6, 4), (30, 60, 90))
exif = Image.Exif(); exif[0x010F] = "zephor"; exif[0x0112] = 3
gps = exif.get_ifd(0x8825); gps[1] = "N"; gps[2] = (1.0, 2.0, 3.0)
sub = exif.get_ifd(0x8769); sub[0x9003] = "2024:01:02 03:04:05"; sub[0x829A] = 0.01
im.save(d + "/tiff_handler/exif.tif", exif=exif, compression="tiff_adobe_deflate")
im.save(d + "/tiff/pil-deflate.tif", compression="tiff_adobe_deflate")
# EXIF blocks as an APP1 payload carries them ("Exif", 0, 0 and the TIFF structure).
open(d + "/exif/pil.exif", "wb").write(exif.tobytes())
PY
# GIF: plain, interlaced, transparent, two frames; black and white, four colours, GIF87a;
# frames with local tables, disposal methods, loop counts, comments and offsets (ImageMagick,
# gifsicle's optimiser, Pillow).
im "$tmp/p.png" "$out/gif/p.gif"
im "$tmp/p.png" -interlace GIF "$out/gif/interlaced.gif"
im "$tmp/ga.png" -channel A -threshold 50% "$out/gif/transparent.gif"
im -delay 10 "$tmp/g.png" "$tmp/p.png" -loop 0 "$out/gif/animated.gif"
im "$tmp/p.png" -monochrome "$out/gif/bw.gif"
im "$tmp/p.png" -colors 4 "$out/gif/four.gif"
im "$tmp/p.png" GIF87:"$out/gif/gif87a.gif"
im -delay 20 -dispose Background "$tmp/g.png" -dispose Previous "$tmp/p.png" -loop 3 "$out/gif/disposal.gif"
gifsicle -O3 --colors 16 "$out/gif/disposal.gif" -o "$out/gif/optimised.gif"
/usr/bin/python3 - "$out/gif" <<'PY'
import sys
from PIL import Image
d = sys.argv[1]
a = Image.new("P", (5, 4), 1); a.putpalette([0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255])
b = a.copy(); b.putpixel((2, 1), 3)
a.save(d + "/pil_anim.gif", save_all=True, append_images=[b], duration=[30, 40], loop=0, transparency=0,
       disposal=2, comment=b"pillow")
Image.new("L", (6, 3), 90).save(d + "/pil_grey.gif", interlace=True)
PY
# PCX (choice 0) and DCX (choice 1).
im "$tmp/p.png" "$tmp/pcx24.pcx"
im "$tmp/p.png" -colors 6 -type Palette "$tmp/pcx8.pcx"
im "$tmp/p.png" -monochrome "$tmp/pcx1.pcx"
im "$tmp/g.png" "$tmp/p.png" DCX:"$tmp/two.dcx"
for f in pcx24 pcx8 pcx1; do { printf '\000'; cat "$tmp/$f.pcx"; } > "$out/pcx/$f.pcx"; done
{ printf '\001'; cat "$tmp/two.dcx"; } > "$out/pcx/two.dcx"
# Icons (choice 0) and cursors (choice 1): 1, 4, 8 and 32 bits, PNG entries, several sizes.
im "$tmp/p.png" -resize 16x16! \( +clone -resize 8x8! \) "$tmp/two.ico"
im "$tmp/ga.png" "$tmp/alpha.ico"
im "$tmp/p.png" -colors 4 -type Palette CUR:"$tmp/p.cur"
im "$tmp/p.png" -resize 8x8! -depth 8 -colors 2 -type Palette "$tmp/bits1.ico"
im "$tmp/p.png" -resize 8x8! -depth 8 -colors 16 -type Palette "$tmp/bits4.ico"
im "$tmp/p.png" -resize 8x8! -depth 8 -colors 40 -type Palette "$tmp/bits8.ico"
/usr/bin/python3 - "$tmp" <<'PY'
import struct, sys
from PIL import Image
d = sys.argv[1]
Image.new("RGBA", (16, 16), (9, 90, 200, 128)).save(d + "/png.ico", sizes=[(16, 16)])
Image.new("RGBA", (8, 8), (9, 90, 200, 128)).save(d + "/pil_bmp.ico", sizes=[(8, 8), (4, 4)], bitmap_format="bmp")
# Cursors proper (type 2, a hot spot in place of planes and bit count) from ImageMagick's icons.
for depth in (1, 4):
    f = bytearray(open("%s/bits%d.ico" % (d, depth), "rb").read())
    f[2:4] = struct.pack("<H", 2)
    f[10:14] = struct.pack("<HH", 3, 5)
    open("%s/bits%d.cur" % (d, depth), "wb").write(f)
PY
for f in two alpha png bits1 bits4 bits8 pil_bmp; do { printf '\000'; cat "$tmp/$f.ico"; } > "$out/ico/$f.ico"; done
for f in p bits1 bits4; do { printf '\001'; cat "$tmp/$f.cur"; } > "$out/ico/$f.cur"; done
# Portable maps, text and binary, 8 and 16 bits, and the arbitrary map.
im "$tmp/p.png" -monochrome -compress None PBM:"$out/pnm/p1.pbm"
im "$tmp/p.png" -monochrome PBM:"$out/pnm/p4.pbm"
im "$tmp/g.png" -colorspace Gray -compress None PGM:"$out/pnm/p2.pgm"
im "$tmp/g.png" -colorspace Gray -depth 16 PGM:"$out/pnm/p5-16.pgm"
im "$tmp/p.png" -compress None PPM:"$out/pnm/p3.ppm"
im "$tmp/p.png" PPM:"$out/pnm/p6.ppm"
im "$tmp/ga.png" PAM:"$out/pnm/p7.pam"
im "$tmp/p.png" -depth 16 PPM:"$out/pnm/p6-16.ppm"
im "$tmp/g.png" -colorspace Gray -depth 8 PGM:"$out/pnm/p5.pgm"
pamdepth 15 "$out/pnm/p6.ppm" > "$out/pnm/p6-max15.ppm" 2>/dev/null
pamdepth 1023 "$out/pnm/p5.pgm" > "$out/pnm/p5-max1023.pgm" 2>/dev/null
/usr/bin/python3 - "$out/pnm" <<'PY'
import sys
from PIL import Image
d = sys.argv[1]
Image.new("I", (3, 2), 40000).save(d + "/pil_p5-16.pgm")
Image.new("1", (10, 2), 1).save(d + "/pil_p4.pbm")
PY
# Wireless bitmaps.
im "$tmp/p.png" -monochrome WBMP:"$out/wbmp/p.wbmp"
im -size 3x2 xc:white WBMP:"$out/wbmp/white.wbmp"
# Photoshop: flat, raw, with layers, grey 16-bit, with alpha; 8-bit RGB, CMYK with and without
# alpha, indexed, bitmap mode, grey with alpha, an ICC profile, layers at offsets.
im "$tmp/p.png" "$out/psd/flat.psd"
im "$tmp/p.png" -compress None "$out/psd/raw.psd"
im "$tmp/p.png" "$tmp/g.png" "$tmp/ga.png" "$out/psd/layers.psd"
im "$tmp/g.png" -colorspace Gray -depth 16 "$out/psd/grey16.psd"
im "$tmp/ga.png" "$out/psd/alpha.psd"
im "$tmp/p.png" -depth 8 "$out/psd/rgb8.psd"
im "$tmp/p.png" -depth 8 -colorspace CMYK "$out/psd/cmyk.psd"
im "$tmp/p.png" -depth 8 -colorspace CMYK -alpha set -compress None "$out/psd/cmyk-alpha-raw.psd"
im "$tmp/p.png" -depth 8 -colors 8 -type Palette "$out/psd/indexed.psd"
im "$tmp/p.png" -monochrome -depth 1 -type Bilevel "$out/psd/bitmap.psd"
im "$tmp/g.png" -depth 8 -colorspace Gray -alpha set -channel A -evaluate set 60% +channel "$out/psd/grey-alpha.psd"
im "$tmp/p.png" -depth 8 -profile /usr/share/color/icc/ghostscript/srgb.icc "$out/psd/icc.psd"
im -size 8x6 xc:none \( "$tmp/p.png" -depth 8 -repage 5x4+2+1 \) \( "$tmp/g.png" -repage 8x6+0+0 \) -background none \
  -depth 8 "$out/psd/layers-at-offsets.psd"
# Raw pixels of the 17 x 5 bitmap: coding (0 binary, 1 decimal, 2 hexadecimal) and layout bytes first.
/usr/bin/python3 - "$out/raw_pixels" <<'PY'
import sys
d = sys.argv[1]
samples = bytes((i * 7) % 256 for i in range(17 * 5 * 3))
open(d + "/binary.raw", "wb").write(bytes([0, 0]) + samples)
open(d + "/planar.raw", "wb").write(bytes([0, 1]) + samples)
open(d + "/decimal.txt", "wb").write(bytes([1, 0]) + " ".join(str(b) for b in samples[:60]).encode())
open(d + "/hex.txt", "wb").write(bytes([2, 0]) + " ".join("%02X" % b for b in samples[:60]).encode())
PY
# JPEG 2000 (choice 0 the image, 1 the parameters only).
im "$tmp/p.png" "$tmp/p.jp2"
im "$tmp/p.png" J2K:"$tmp/p.j2k"
im "$tmp/g.png" -colorspace Gray "$tmp/grey.jp2"
im "$tmp/ga.png" "$tmp/alpha.jp2"
for f in p.jp2 p.j2k grey.jp2 alpha.jp2; do { printf '\000'; cat "$tmp/$f"; } > "$out/j2000/$f"; done
{ printf '\001'; cat "$tmp/p.jp2"; } > "$out/j2000/params.jp2"
# HD Photo by the reference encoder (our own writer's files come from make_seeds): grey, 48-bit
# RGB, BGRA with planar and interleaved alpha, 64-bit RGBA, 32-bit BGR and BGR 10-10-10, lossy
# with and without chroma subsampling, tiles, the spatial order, and each overlap.
im "$tmp/p.png" BMP3:"$tmp/p.bmp"
JxrEncApp -i "$tmp/p.bmp" -o "$out/hdp/ref.jxr" -q 1 > /dev/null
im "$tmp/p.png" -colorspace Gray -depth 8 BMP3:"$tmp/grey.bmp"
im "$tmp/ga.png" -depth 8 BMP:"$tmp/pa.bmp"
im "$tmp/p.png" -depth 16 -compress None "$tmp/p16.tif"
im "$tmp/ga.png" -depth 16 -compress None "$tmp/pa16.tif"
jxr() { JxrEncApp "$@" > /dev/null; }
jxr -i "$tmp/grey.bmp" -o "$out/hdp/grey.jxr" -c 2
jxr -i "$tmp/p16.tif" -o "$out/hdp/rgb48.jxr" -c 10
jxr -i "$tmp/pa.bmp" -o "$out/hdp/bgra.jxr" -c 22
jxr -i "$tmp/pa.bmp" -o "$out/hdp/bgra-interleaved.jxr" -c 22 -a 3
jxr -i "$tmp/pa16.tif" -o "$out/hdp/rgba64.jxr" -c 23
jxr -i "$tmp/p.bmp" -o "$out/hdp/bgr32.jxr" -c 34
jxr -i "$tmp/p16.tif" -o "$out/hdp/bgr101010.jxr" -c 31
jxr -i "$tmp/p.bmp" -o "$out/hdp/lossy.jxr" -q 0.5
jxr -i "$tmp/p.bmp" -o "$out/hdp/lossy-420.jxr" -q 0.7 -d 1
jxr -i "$tmp/p.bmp" -o "$out/hdp/tiles.jxr" -U 2 2
jxr -i "$tmp/p.bmp" -o "$out/hdp/spatial-no-overlap.jxr" -f -p -l 0
jxr -i "$tmp/p.bmp" -o "$out/hdp/overlap2.jxr" -l 2 -q 0.8
# The 3D library's picture layer: bitmaps (choice 0) and PNG images (choice 1).
for f in rgb24 rgba32 pal8; do cp "$out/bmp/$f.bmp" "$out/picture/$f.bmp"; done
for f in rgb rgba palette interlaced; do { printf '\001'; tail -c +2 "$out/png/$f.png"; } > "$out/picture/$f.png"; done
# OBJ by hand: a 3 x 3 plane of faces written in the record forms others use.
printf 'mtllib none.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\nvn 0 0 1\nf 1/1/1 2/2/1 4/4/1 3/3/1\nf -4/-4 -3/-3 -1/-1\n' | { printf '\002'; cat; } > "$out/obj/plane-forms.obj"
# Our own writers.
"$build/fuzz/make_seeds" "$out"
echo "seeds: $(find "$out" -type f | wc -l) files, $(du -sk "$out" | cut -f1) KiB"
