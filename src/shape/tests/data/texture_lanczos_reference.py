#!/usr/bin/python3
# Reference of a texture loaded from a picture: the 11 x 7 picture of the texture test
# (PictureFilesTest.cpp, TexturePicture) resampled to the 512 x 512 texture of a 33 x 33 grid
# with the Lanczos filter of radius 3, by the image library's resampler as its reference script
# computes it (rastova/core/tests/data/resample_reference.py). Writes the rows listed in ROWS:
# "row y" and then 512 lines "blue green red alpha". Regenerate with
#   /usr/bin/python3 texture_lanczos_reference.py > texture_lanczos_reference.txt
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "..", "..", "rastova", "core", "tests", "data"))
import resample_reference as rr  # noqa: E402

W, H, SIZE, LANCZOS3 = 11, 7, 512, 5
ROWS = (0, 100, 255, 300, 511)


# The same formulas as the test: sharp edges in red (across x), green (across y) and alpha
# (across x), a pattern in blue.
def red(x, y):
    return 40 if x < 5 else 210


def green(x, y):
    return 200 if y < 3 else 30


def blue(x, y):
    return (x * 23 + y * 41) % 256


def alpha(x, y):
    return 255 if x < 6 else 20


def main():
    colour = [[v for x in range(W) for v in (blue(x, y), green(x, y), red(x, y))] for y in range(H)]
    grey = [[alpha(x, y) for x in range(W)] for y in range(H)]
    out_colour = rr.resample(colour, W, H, SIZE, SIZE, LANCZOS3, 3)
    out_alpha = rr.resample(grey, W, H, SIZE, SIZE, LANCZOS3, 1)
    for y in ROWS:
        print("row %d" % y)
        for x in range(SIZE):
            b, g, r = out_colour[y][3 * x:3 * x + 3]
            print("%d %d %d %d" % (b, g, r, out_alpha[y][x]))


if __name__ == "__main__":
    main()
