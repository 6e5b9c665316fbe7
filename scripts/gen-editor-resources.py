#!/usr/bin/python3
"""Draws the editor's own pictures: the twelve pane cursors (32 x 32, black with a white
outline on a transparent ground) and the splash picture (512 x 256). Run it with Debian's
python3 (Pillow) from the repository root; it rewrites src/editor/resources/."""
import math
import os

from PIL import Image, ImageDraw, ImageFont

OUT = os.path.join("src", "editor", "resources")
INK, EDGE = (0, 0, 0, 255), (255, 255, 255, 255)


def arrow(d, x0, y0, x1, y1, head=6):
    """A line from (x0, y0) to (x1, y1) with a filled head at the end."""
    d.line([(x0, y0), (x1, y1)], fill=INK, width=2)
    a = math.atan2(y1 - y0, x1 - x0)
    left = (x1 - head * math.cos(a - 0.5), y1 - head * math.sin(a - 0.5))
    right = (x1 - head * math.cos(a + 0.5), y1 - head * math.sin(a + 0.5))
    d.polygon([(x1, y1), left, right], fill=INK)


def double_arrow(d, x0, y0, x1, y1):
    arrow(d, (x0 + x1) / 2, (y0 + y1) / 2, x1, y1)
    arrow(d, (x0 + x1) / 2, (y0 + y1) / 2, x0, y0)


def rotate_mark(d):
    """An open circle with an arrow head: the rotation handle."""
    d.arc([8, 8, 24, 24], 40, 330, fill=INK, width=2)
    d.polygon([(22, 4), (27, 11), (19, 12)], fill=INK)


def hand(d, closed):
    """A hand seen from above: palm and four fingers (short when the hand is closed)."""
    d.rounded_rectangle([9, 13, 23, 27], radius=4, fill=EDGE, outline=INK)
    length = 4 if closed else 9
    for k, x in enumerate((9, 13, 17, 21)):
        top = 13 - length + (1 if k in (0, 3) else 0)
        d.rounded_rectangle([x, top, x + 3, 15], radius=1, fill=EDGE, outline=INK)
    d.line([(9, 22), (5, 17 if not closed else 20)], fill=INK, width=2)


def outline(img):
    """Gives the drawn ink a one-pixel white edge so it shows on dark and light panes."""
    src = img.copy()
    px, out = src.load(), img.load()
    for y in range(img.height):
        for x in range(img.width):
            if px[x, y][3] == 0:
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    u, v = x + dx, y + dy
                    if 0 <= u < img.width and 0 <= v < img.height and px[u, v] == INK:
                        out[x, y] = EDGE
                        break


def cursor(name, draw):
    img = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    draw(ImageDraw.Draw(img))
    outline(img)
    img.save(os.path.join(OUT, "cursors", name + ".png"))


def main():
    os.makedirs(os.path.join(OUT, "cursors"), exist_ok=True)
    cursor("ROTURN", rotate_mark)
    cursor("RONWSE", lambda d: (rotate_mark(d), double_arrow(d, 4, 4, 28, 28)))
    cursor("RONESW", lambda d: (rotate_mark(d), double_arrow(d, 28, 4, 4, 28)))
    cursor("HAND1", lambda d: hand(d, False))
    cursor("HAND2", lambda d: hand(d, True))
    cursor("RONS", lambda d: (rotate_mark(d), double_arrow(d, 16, 2, 16, 30)))
    cursor("ROEW", lambda d: (rotate_mark(d), double_arrow(d, 2, 16, 30, 16)))
    cursor("BTNWSE", lambda d: (d.rectangle([12, 12, 20, 20], outline=INK), double_arrow(d, 3, 3, 29, 29)))
    cursor("BTNESW", lambda d: (d.rectangle([12, 12, 20, 20], outline=INK), double_arrow(d, 29, 3, 3, 29)))
    cursor("BTNS", lambda d: (d.rectangle([12, 12, 20, 20], outline=INK), double_arrow(d, 16, 2, 16, 30)))
    cursor("BTEW", lambda d: (d.rectangle([12, 12, 20, 20], outline=INK), double_arrow(d, 2, 16, 30, 16)))
    cursor("ARMOVE", lambda d: (double_arrow(d, 16, 2, 16, 30), double_arrow(d, 2, 16, 30, 16)))

    splash = Image.new("RGB", (512, 256), (40, 44, 52))
    d = ImageDraw.Draw(splash)
    # a sculpt-map-like band of colours: x in red, y in green, z in blue
    for x in range(512):
        for y in range(200, 256, 4):
            d.line([(x, y), (x, y + 3)], fill=(x // 2, (y - 200) * 4, 255 - x // 2))
    # a wire sphere
    cx, cy, r = 400, 100, 80
    for k in range(-3, 4):
        h = r * math.cos(k * math.pi / 8)
        d.ellipse([cx - h, cy + r * math.sin(k * math.pi / 8) - 2, cx + h, cy + r * math.sin(k * math.pi / 8) + 2],
                  outline=(200, 200, 200))
    for k in range(6):
        w = abs(r * math.cos(k * math.pi / 6))
        d.ellipse([cx - w, cy - r, cx + w, cy + r], outline=(160, 200, 255))
    try:
        big = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 56)
        small = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 16)
    except OSError:
        big = small = ImageFont.load_default()
    d.text((32, 60), "ZEPHOR", font=big, fill=(255, 255, 255))
    d.text((36, 130), "sculpted prim editor", font=small, fill=(200, 200, 200))
    splash.save(os.path.join(OUT, "splash.png"))


if __name__ == "__main__":
    main()
