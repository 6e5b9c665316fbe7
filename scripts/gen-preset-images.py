#!/usr/bin/python3
"""Draws the image view's four preset frame pictures and writes them, PNG-encoded, as C++ data
to src/rastova/view/presets/RVPresetImages.inc. Run again after changing a picture."""
import io
import os
from PIL import Image, ImageDraw, ImageFilter

OUT = os.path.join(os.path.dirname(__file__), "..", "src", "rastova", "view", "presets", "RVPresetImages.inc")


def photo_frame():
    # 162 x 159 RGBA: white frame, rounded window, soft grey drop shadow.
    w, h = 162, 159
    shadow = Image.new("L", (w, h), 0)
    ImageDraw.Draw(shadow).rectangle((8, 9, w - 3, h - 2), fill=110)
    shadow = shadow.filter(ImageFilter.GaussianBlur(3))
    im = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    im.paste((90, 90, 90, 255), (0, 0), shadow)
    d = ImageDraw.Draw(im)
    d.rectangle((3, 3, w - 9, h - 10), fill=(255, 255, 255, 255), outline=(215, 215, 215, 255))
    d.rounded_rectangle((18, 29, 140, 119), radius=9, fill=(0, 0, 0, 0), outline=(190, 190, 190, 255))
    return im


def film_strip():
    # 112 x 100 RGB: blue strip, white perforations down both sides.
    im = Image.new("RGB", (112, 100), (22, 52, 140))
    d = ImageDraw.Draw(im)
    for y in range(3, 100, 12):
        d.rectangle((3, y, 9, y + 6), fill=(255, 255, 255))
        d.rectangle((102, y, 108, y + 6), fill=(255, 255, 255))
    d.rectangle((13, 1, 95, 98), fill=(8, 20, 60))
    return im


def notebook():
    # 163 x 108 palette: white spiral-bound page, binding on the left.
    im = Image.new("P", (163, 108), 0)
    im.putpalette([255, 255, 255, 170, 200, 235, 90, 90, 100, 220, 60, 60, 235, 235, 235] + [0] * (251 * 3))
    d = ImageDraw.Draw(im)
    d.rectangle((0, 0, 162, 107), fill=4)
    d.rectangle((14, 2, 160, 105), fill=0, outline=2)
    for y in range(22, 104, 10):
        d.line((15, y, 159, y), fill=1)
    d.line((27, 3, 27, 104), fill=3)
    for y in range(8, 104, 9):
        d.ellipse((4, y, 18, y + 5), outline=2)
    return im


def bevel_frame():
    # 150 x 150 palette: bevelled silver-blue square frame around a black interior.
    im = Image.new("P", (150, 150), 0)
    im.putpalette([0, 0, 0, 214, 222, 236, 160, 176, 204, 110, 128, 164, 188, 198, 220] + [0] * (251 * 3))
    d = ImageDraw.Draw(im)
    d.rectangle((0, 0, 149, 149), fill=4)
    for i in range(8):
        d.line((i, i, 149 - i, i), fill=1)
        d.line((i, i, i, 149 - i), fill=1)
        d.line((149 - i, i, 149 - i, 149 - i), fill=3)
        d.line((i, 149 - i, 149 - i, 149 - i), fill=3)
    for i in range(12, 17):
        d.rectangle((i, i, 149 - i, 149 - i), outline=2)
    d.rectangle((17, 17, 131, 131), fill=0)
    return im


def main():
    lines = ["// Made by scripts/gen-preset-images.py: the four preset frame pictures as PNG files.", ""]
    for n, make in enumerate((photo_frame, film_strip, notebook, bevel_frame)):
        buf = io.BytesIO()
        make().save(buf, "PNG", optimize=True)
        data = buf.getvalue()
        lines.append("alignas(4) constexpr unsigned char kPresetImage%d[%d] = {" % (n, len(data)))
        for i in range(0, len(data), 20):
            lines.append("    " + ", ".join("0x%02x" % b for b in data[i:i + 20]) + ",")
        lines.append("};")
    open(OUT, "w").write("\n".join(lines) + "\n")


main()
