#!/usr/bin/python3
# Reference results of the Gaussian blur of 8-bit grey images, written from its rules with
# nothing but the standard library. Run it to regenerate blur_reference.txt:
#   /usr/bin/python3 blur_reference.py > blur_reference.txt
#
# Each line: sigma, left, top, right, bottom, then the 13 x 9 result row by row. The source is
# a pattern with a bright spot; the rectangle is clamped into the image, and pixels outside it
# keep their values.
import math

W, H = 13, 9


def source():
    img = [[(x * 29 + y * 47) % 200 for x in range(W)] for y in range(H)]
    img[4][6] = 255
    return img


def kernel(sigma):
    g = [math.exp(-((k / sigma) ** 2) / 2) for k in range(-100, 101)]
    total = sum(g)
    w = [int(round(v * 65536 / total)) for v in g]  # halves to even
    radius = 100
    while radius > 1 and w[100 + radius] == 0 and w[100 - radius] == 0:
        radius -= 1
    return w[100 - radius:100 + radius + 1], radius


def blur_line(samples, w, radius):
    n = len(samples)
    out = []
    for i in range(n):
        s = 32768
        for k in range(-radius, radius + 1):
            s += w[k + radius] * samples[min(max(i + k, 0), n - 1)]
        out.append(min(s >> 16, 255))
    return out


def blur(img, left, top, right, bottom, sigma):
    left, top = max(left, 0), max(top, 0)
    right, bottom = min(right, W - 1), min(bottom, H - 1)
    w, radius = kernel(sigma)
    for y in range(top, bottom + 1):
        img[y][left:right + 1] = blur_line(img[y][left:right + 1], w, radius)
    for x in range(left, right + 1):
        col = blur_line([img[y][x] for y in range(top, bottom + 1)], w, radius)
        for i, y in enumerate(range(top, bottom + 1)):
            img[y][x] = col[i]
    return img


assert kernel(0.5)[1] == 2  # the weights at +-3 fall below half a unit
for sigma, left, top, right, bottom in ((0.5, 0, 0, 12, 8), (1.3, 2, 1, 10, 7), (2.5, -3, 3, 40, 20),
                                        (7.0, 0, 0, 12, 8)):
    img = blur(source(), left, top, right, bottom, sigma)
    print("%g %d %d %d %d %s" % (sigma, left, top, right, bottom, " ".join(str(v) for row in img for v in row)))
