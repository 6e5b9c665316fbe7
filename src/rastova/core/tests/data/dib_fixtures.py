# Makes the packed-DIB fixtures: BMP files of a 7 x 5 picture written by Pillow and by
# ImageMagick (/usr/bin/convert) in several depths and compressions, each with the RGB bytes
# Pillow reads from it (top row first) in a .rgb file beside it. Run with /usr/bin/python3.
import subprocess
from PIL import Image

W, H = 7, 5
base = Image.new("RGB", (W, H))
base.putdata([((x * 37 + y * 11) % 256, (x * 5 + y * 53) % 256, (x * y * 29 + 7) % 256)
              for y in range(H) for x in range(W)])
base.save("dib_source.png")

def expect(name):
    with Image.open(name) as im:
        open(name[:-4] + ".rgb", "wb").write(im.convert("RGB").tobytes())

base.save("dib24.bmp")
expect("dib24.bmp")
base.quantize(12).save("dib8.bmp")
expect("dib8.bmp")
base.convert("1", dither=Image.Dither.NONE).save("dib1.bmp")
expect("dib1.bmp")
# Four grey levels in runs, so that run-length coding has runs and literal groups.
runs = Image.new("L", (W, H))
runs.putdata([[0, 0, 0, 85, 170, 255, 255][x] if y % 2 else [255, 85, 170, 0, 0, 0, 85][x]
              for y in range(H) for x in range(W)])
runs.save("dib_runs.png")
subprocess.run(["/usr/bin/convert", "dib_runs.png", "-type", "Palette", "-compress", "RLE", "BMP3:dib_rle8.bmp"], check=True)
expect("dib_rle8.bmp")
subprocess.run(["/usr/bin/convert", "dib_source.png", "-define", "bmp:subtype=RGB565", "BMP:dib16.bmp"], check=True)
expect("dib16.bmp")
