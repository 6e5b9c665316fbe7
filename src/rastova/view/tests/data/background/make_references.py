#!/usr/bin/python3
"""Draws the reference pictures of the view's background styles from their rules, pixel by
pixel (independently of the painter), for an area of 64 x 64 with the image rectangle
(16, 16)-(48, 40), the colour RGB(64, 128, 192), squares of 8 and a gradient to blue. Run with
Debian's python3 (Pillow) in this folder."""
from PIL import Image

W = H = 64
L, T, R, B = 16, 16, 48, 40
COLOR = (64, 128, 192)
COMPLEMENT = tuple(255 - c for c in COLOR)


def picture(pixel):
    img = Image.new("RGB", (W, H))
    img.putdata([pixel(x, y) for y in range(H) for x in range(W)])
    return img


def square(x, y, x0, y0, first, second):
    return first if ((x - x0) // 8 + (y - y0) // 8) % 2 == 0 else second


def diagonals(x, y):
    return COMPLEMENT if x == y or x + y == 64 else COLOR


def edge(x, y):
    """A sunken edge around (14, 14)-(50, 42) on button face; left and top lines first."""
    for ring, (dark, light) in enumerate((((160,) * 3, (255,) * 3), ((105,) * 3, (227,) * 3))):
        l, t, r, b = 14 + ring, 14 + ring, 50 - ring, 42 - ring
        if l <= x < r and t <= y < b:
            if x == r - 1 or y == b - 1:
                return light
            if x == l or y == t:
                return dark
    return (240, 240, 240)


def photo(x, y):
    if L <= x < R and T <= y < B:
        return square(x, y, L, T, COMPLEMENT, COLOR)
    if 15 <= x <= 48 and 15 <= y <= 40 and (x in (15, 48) or y in (15, 40)):
        return (0, 0, 0)
    return (176, 176, 176)


def gradient(x, y):
    end = (0, 0, 255)
    return tuple(round(a + (b - a) * y / (H - 1)) for a, b in zip(COLOR, end))


picture(lambda x, y: COLOR).save("solid.png")
picture(lambda x, y: square(x, y, 0, 0, COMPLEMENT, COLOR)).save("chessboard_canvas.png")
picture(lambda x, y: square(x, y, 0, 0, COLOR, COMPLEMENT)).save("chessboard_direct.png")
picture(diagonals).save("diagonals.png")
picture(edge).save("cropped.png")
picture(photo).save("photolike.png")
picture(gradient).save("gradient.png")
