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
mkdir -p "$out"/{tiff_handler,wang,picture,texture_image,material_library,scene_properties,obj,xml_object,point_block,text_memo,vect_stream,layer_stream,layers_file,objects_file}
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
im "$tmp/p.png" -depth 8 -compress Zip -define tiff:predictor=2 -define tiff:rows-per-strip=2 "$out/tiff/deflate8-strips.tif"
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
# JPEG 2000 by OpenJPEG's encoder, the variants it writes: every progression order, subsampled
# pictures and components, tiles, precincts, code blocks, markers, layers, mode switches, tile
# parts, an image offset, depths and signed samples, alpha; and Pillow's files.
im "$tmp/p.png" -depth 8 "$tmp/j.ppm"
im "$tmp/g.png" -colorspace Gray -depth 8 "$tmp/j.pgm"
opj() { # name, input, options...
  local name=$1 input=$2
  shift 2
  opj_compress -i "$input" -o "$tmp/$name" "$@" > /dev/null 2>&1 || { echo "opj_compress failed: $name" >&2; exit 1; }
  { printf '\000'; cat "$tmp/$name"; } > "$out/j2000/opj-$name"
}
n=0
for order in LRCP RLCP RPCL PCRL CPRL; do
  opj "$order.$([ $((n % 2)) -eq 0 ] && echo jp2 || echo j2k)" "$tmp/j.ppm" -n 2 -p $order -r 8,2,1
  n=$((n + 1))
done
opj sub22.j2k "$tmp/j.ppm" -n 2 -s 2,2
opj sub21.jp2 "$tmp/j.pgm" -n 2 -s 2,1
opj tiles.j2k "$tmp/j.ppm" -n 2 -t 4,4 -TP R -TLM -PLT
opj precincts.jp2 "$tmp/j.ppm" -n 3 -c [4,4],[4,4] -b 4,4 -SOP -EPH
opj irreversible.j2k "$tmp/j.ppm" -n 2 -I -r 20,5
opj modes.j2k "$tmp/j.pgm" -n 2 -M 63
opj roi.j2k "$tmp/j.ppm" -n 2 -ROI c=0,U=2
opj offset.j2k "$tmp/j.pgm" -n 2 -d 3,2 -T 1,1 -t 6,6
opj nomct.jp2 "$tmp/j.ppm" -n 1 -mct 0 -C comment
/usr/bin/python3 - "$tmp" <<'PY'
import sys
d = sys.argv[1]
w, h = 8, 6
grey12 = b"".join((((x * 500 + y * 77) % 4096)).to_bytes(2, "big") for y in range(h) for x in range(w))
open(d + "/g12.raw", "wb").write(grey12)
signed = b"".join(((x * 9000 - y * 5000) & 0xFFFF).to_bytes(2, "big") for y in range(h) for x in range(w))
open(d + "/s16.raw", "wb").write(signed)
# Three components, the second and third at half the rate in each direction.
planes = bytes((x * 30 + y) % 256 for y in range(h) for x in range(w))
planes += bytes(range(40, 52)) + bytes(range(90, 102))
open(d + "/sub.raw", "wb").write(planes)
from PIL import Image
im = Image.new("RGBA", (8, 6), (20, 120, 220, 100))
im.save(d + "/pil-alpha.jp2", irreversible=False)
im.convert("RGB").save(d + "/pil-tiles.j2k", tile_size=(4, 4), num_resolutions=2, progression="RPCL")
im.convert("L").save(d + "/pil-grey.jp2", quality_mode="rates", quality_layers=[10, 2], irreversible=True)
PY
opj grey12.j2k "$tmp/g12.raw" -F 8,6,1,12,u -n 2
opj signed16.j2k "$tmp/s16.raw" -F 8,6,1,16,s -n 2
opj chroma-sub.j2k "$tmp/sub.raw" -F 8,6,3,8,u@1x1:2x2:2x2 -n 1
for f in pil-alpha.jp2 pil-tiles.j2k pil-grey.jp2; do { printf '\000'; cat "$tmp/$f"; } > "$out/j2000/$f"; done
{ printf '\001'; cat "$tmp/sub22.j2k"; } > "$out/j2000/params-sub22.j2k"
# DICOM (choice 0 the image, 1 the parameters only): pydicom's native files of each depth,
# layout and photometric interpretation, and dcmtk's copies of them in every transfer syntax it
# writes; JPEG 2000 frames from OpenJPEG's code streams.
/usr/bin/python3 - "$tmp" <<'PY'
import sys
import numpy as np
from pydicom.dataset import FileDataset, FileMetaDataset
from pydicom.encaps import encapsulate
from pydicom.uid import ExplicitVRLittleEndian
d = sys.argv[1]
h, w = 6, 8
y, x = np.mgrid[0:h, 0:w]
def make(name, samples, bits, photometric, pixels, stored=None, planar=0, signed=0, frames=0, syntax=ExplicitVRLittleEndian, extra={}):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.7"
    meta.MediaStorageSOPInstanceUID = "1.2.3.4." + str(len(name))
    meta.TransferSyntaxUID = syntax
    ds = FileDataset(name, {}, file_meta=meta, preamble=b"\0" * 128)
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.SOPClassUID, ds.SOPInstanceUID = meta.MediaStorageSOPClassUID, meta.MediaStorageSOPInstanceUID
    ds.PatientName = "Seed^" + name
    ds.Rows, ds.Columns, ds.SamplesPerPixel = h, w, samples
    ds.PhotometricInterpretation = photometric
    if samples > 1:
        ds.PlanarConfiguration = planar
    if frames:
        ds.NumberOfFrames = frames
    stored = stored or bits
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = bits, stored, stored - 1, signed
    for k, v in extra.items():
        setattr(ds, k, v)
    ds.PixelData = pixels if isinstance(pixels, bytes) else encapsulate(pixels)
    if not isinstance(pixels, bytes):
        ds["PixelData"].is_undefined_length = True
    ds.save_as(d + "/" + name + ".dcm", write_like_original=False)
grey = (x * 30 + y * 5).astype(np.uint8)
make("grey8", 1, 8, "MONOCHROME2", grey.tobytes())
make("mono1", 1, 8, "MONOCHROME1", grey.tobytes())
make("grey12", 1, 16, "MONOCHROME2", ((x * 500 + y * 77) % 4096).astype("<u2").tobytes(), stored=12,
     extra={"WindowCenter": "2048", "WindowWidth": "4096", "RescaleIntercept": "-1024", "RescaleSlope": "1"})
make("signed16", 1, 16, "MONOCHROME2", (x * 900 - y * 5000).astype("<i2").tobytes(), signed=1)
make("frames", 1, 8, "MONOCHROME2", np.stack([grey, grey // 2, 255 - grey]).tobytes(), frames=3)
rgb = np.stack([grey, (y * 40).astype(np.uint8), 255 - grey], axis=-1)
make("rgb", 3, 8, "RGB", rgb.tobytes())
make("rgb-planar", 3, 8, "RGB", rgb.transpose(2, 0, 1).tobytes(), planar=1)
make("ybr", 3, 8, "YBR_FULL", rgb.tobytes())
lut = (np.arange(256) * 257).astype("<u2")
make("palette", 1, 8, "PALETTE COLOR", grey.tobytes(),
     extra={"RedPaletteColorLookupTableDescriptor": [256, 0, 16], "GreenPaletteColorLookupTableDescriptor": [256, 0, 16],
            "BluePaletteColorLookupTableDescriptor": [256, 0, 16], "RedPaletteColorLookupTableData": lut.tobytes(),
            "GreenPaletteColorLookupTableData": lut[::-1].tobytes(), "BluePaletteColorLookupTableData": lut.tobytes()})
for name, stream, bits, stored, samples, photometric in (("j2k-grey12", "grey12.j2k", 16, 12, 1, "MONOCHROME2"),
                                                         ("j2k-rgb", "sub22.j2k", 8, 8, 3, "RGB")):
    make(name, samples, bits, photometric, [open(d + "/" + stream, "rb").read()], stored=stored,
         syntax="1.2.840.10008.1.2.4.91")
make("j2k-lossless-only", 1, 16, "MONOCHROME2", [open(d + "/signed16.j2k", "rb").read()], signed=1,
     syntax="1.2.840.10008.1.2.4.90")
PY
dcm() { # source, name, command and options
  local source=$1 name=$2
  shift 2
  "$@" "$tmp/$source.dcm" "$tmp/$name.dcm" > /dev/null 2>&1 || { echo "$1 failed: $name" >&2; exit 1; }
}
dcm grey8 grey8-implicit dcmconv +ti
dcm grey8 grey8-big-endian dcmconv +tb
dcm grey8 grey8-deflated dcmconv +td
dcm grey8 grey8-rle dcmcrle
dcm grey8 grey8-baseline dcmcjpeg +eb
dcm grey8 grey8-progressive dcmcjpeg +ep
dcm grey12 grey12-extended dcmcjpeg +ee
dcm grey12 grey12-lossless dcmcjpeg +el +sv 6
dcm grey12 grey12-sv1 dcmcjpeg +e1
dcm grey12 grey12-rle dcmcrle
dcm grey12 grey12-big-endian dcmconv +tb
dcm grey12 grey12-jpegls dcmcjpls +el
dcm grey12 grey12-jpegls-near dcmcjpls +en
dcm signed16 signed16-rle dcmcrle
dcm signed16 signed16-sv1 dcmcjpeg +e1
dcm frames frames-rle dcmcrle
dcm frames frames-baseline dcmcjpeg +eb
dcm rgb rgb-big-endian dcmconv +tb
dcm rgb rgb-rle dcmcrle
dcm rgb rgb-baseline dcmcjpeg +eb
dcm rgb rgb-baseline-rgb dcmcjpeg +eb +cr
dcm rgb rgb-spectral dcmcjpeg +es
dcm rgb rgb-lossless dcmcjpeg +el +sv 4
dcm rgb rgb-jpegls dcmcjpls +el
dcm rgb-planar rgb-planar-big-endian dcmconv +tb
dcm rgb-planar rgb-planar-rle dcmcrle
dcm palette palette-big-endian dcmconv +tb
dcm palette palette-rle dcmcrle
im "$tmp/p.png" -quality 85 "$tmp/img.jpg"
img2dcm "$tmp/img.jpg" "$tmp/img2dcm.dcm" > /dev/null
for f in "$tmp"/*.dcm; do { printf '\000'; cat "$f"; } > "$out/dicom/tool-$(basename "$f")"; done
for f in grey12 rgb-rle; do { printf '\001'; cat "$tmp/$f.dcm"; } > "$out/dicom/tool-params-$f.dcm"; done
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
# The image view's operation fuzzer reads its input as calls (a group byte, then the call's
# bytes): one program per group of calls, and programs that mix them, from a fixed seed.
mkdir -p "$out/view_ops"
/usr/bin/python3 - "$out/view_ops" <<'PY'
import random, sys
d = sys.argv[1]
for g in range(10):
    random.seed(100 + g)
    out = [0]
    for k in range(30):
        out.append(g)
        out += [random.randrange(256) for _ in range(8)]
    open(f"{d}/group-{g}", "wb").write(bytes(out))
random.seed(52)
for i in range(12):
    n = random.choice([48, 96, 160, 256, 400])
    open(f"{d}/mixed-{i:02d}", "wb").write(bytes(random.randrange(256) for _ in range(n)))
PY
# Our own writers.
"$build/fuzz/make_seeds" "$out"
# AVI files of compressed frames by the ffmpeg tool, the JUNK chunks it reserves for a later index
# taken out so that each stays a few KB: the common codecs, B-frames with key frames every 3
# frames, delta-coded codecs, an audio stream first, dropped frames (empty chunks).
avi() { # name, ffmpeg options
  local name=$1
  shift
  ffmpeg -v error -y -f lavfi -i "testsrc=s=16x16:r=10:d=0.5" -f lavfi -i "anullsrc=r=8000:cl=mono" "$@" "$tmp/$name.avi"
  /usr/bin/python3 - "$tmp/$name.avi" "$out/avi/$name.avi" <<'PY'
import struct, sys
d = open(sys.argv[1], "rb").read()
def rebuild(start, end):
    out, p = bytearray(), start
    while p + 8 <= end:
        cid, size = d[p:p + 4], struct.unpack("<I", d[p + 4:p + 8])[0]
        body = d[p + 8:p + 8 + size]
        if cid in (b"RIFF", b"LIST"):
            body = body[:4] + rebuild(p + 12, p + 8 + size)
        if cid != b"JUNK":
            out += cid + struct.pack("<I", len(body)) + body + (b"\0" if len(body) & 1 else b"")
        p += 8 + size + (size & 1)
    return out
open(sys.argv[2], "wb").write(rebuild(0, len(d)))
PY
}
avi mjpeg -map 0:v -c:v mjpeg -q:v 8
avi mpeg4-bframes -map 0:v -c:v mpeg4 -q:v 8 -bf 2 -g 3
avi h264-bframes -map 0:v -c:v libx264 -preset veryfast -bf 2 -g 3 -x264-params scenecut=0:b-adapt=0 -pix_fmt yuv420p
avi msvideo1 -map 0:v -c:v msvideo1 -g 3
avi zmbv -map 0:v -c:v zmbv -pix_fmt bgr0 -g 3
avi png -map 0:v -c:v png
avi yuv420 -map 0:v -c:v rawvideo -pix_fmt yuv420p -frames:v 3
avi audio-first -map 1:a -map 0:v -c:a pcm_u8 -c:v mjpeg -q:v 8 -shortest
avi dropped -map 0:v -c:v mjpeg -q:v 8 -vf "select='not(between(n,1,2))'" -fps_mode passthrough
echo "seeds: $(find "$out" -type f | wc -l) files, $(du -sk "$out" | cut -f1) KiB"
