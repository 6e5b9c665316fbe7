#!/usr/bin/python3
# Reference results of the three-shear rotation of a 24-bit image, written from its rules with
# nothing but the standard library (float64 throughout). Run it to regenerate
# shear_reference.txt:
#   /usr/bin/python3 shear_reference.py > shear_reference.txt
#
# Each line: angle, antialias (0/1), width, height, then the pixels row by row as packed RGB
# (red * 65536 + green * 256 + blue) in decimal.
import math

W, H = 9, 6
BACKGROUND = (0x12, 0x34, 0x56)  # red, green, blue


def source():
    return [[((x * 37 + y * 11) % 256, (x * 5 + y * 53) % 256, (x * y * 7 + 3) % 256) for x in range(W)]
            for y in range(H)]


def nearest(v):
    return int(round(v))  # halves to the even neighbour


def trunc(v):
    return int(v)  # toward zero


def safe(v):
    # A geometry value that float64 and the extended precision of the code could round to
    # different sides: the angles are chosen so that none comes near a half or a whole.
    frac = abs(v - math.floor(v))
    assert abs(frac - 0.5) > 1e-9 and (frac == 0 or min(frac, 1 - frac) > 1e-9), v
    return v


def clamp_byte(v):
    return max(0, min(255, v))


def blend(prev, cur, e, f):
    # One rounding of the exact quotient: adding half before rounding to nearest would round
    # twice and lift every blended channel by one.
    return tuple(clamp_byte(nearest((p * e + c * f) / 4096.0)) for p, c in zip(prev, cur))


def shift_line(line, length, d, e, f):
    # The line moved by d into `length` pixels of background, each pixel blended with the one
    # written before it, and one more pixel after the last when e > 0.
    out = [BACKGROUND] * length
    prev = BACKGROUND
    for i, p in enumerate(line):
        if 0 <= i + d < length:
            out[i + d] = blend(prev, p, e, f)
            prev = p
    if e > 0 and 0 <= d + len(line) < length:
        out[d + len(line)] = blend(prev, BACKGROUND, e, f)
    return out


def quarter_ccw(img):
    h, w = len(img), len(img[0])
    # source (x, y) goes to (y, W - 1 - x) of an H x W image
    return [[img[x][w - 1 - y] for x in range(h)] for y in range(w)]


def quarter_cw(img):
    h, w = len(img), len(img[0])
    # source (x, y) goes to (H - 1 - y, x)
    return [[img[h - 1 - x][y] for x in range(h)] for y in range(w)]


def rotate(img, angle, antialias):
    bg = BACKGROUND
    a = math.fmod(trunc(angle * 1000), 360000)
    angle = a / 1000.0
    t = img
    while angle > 45:
        t = quarter_ccw(t)
        angle -= 90
    while angle < -45:
        t = quarter_cw(t)
        angle += 90
    if angle == 0:
        return t
    theta = angle * math.pi / 180
    h, w = len(t), len(t[0])
    tau = abs(math.sin(theta / 2) / math.cos(theta / 2))
    sigma = abs(math.sin(theta))
    positive = theta > 0
    w1 = nearest(safe(h * tau + w + 1))
    s1 = nearest(safe((w1 - w) * sigma))
    h2 = nearest(safe(sigma * w1 + h + 1))
    s2 = nearest(safe(tau * (h2 - h - s1)))
    h2 = nearest(h2 - 2 * s1)
    w3 = nearest(safe(tau * h2 + w1 + 1 - 2 * s2))

    # Pass 1: horizontal shear into W1 x H; blends only with antialiasing.
    p1 = [[bg] * w1 for _ in range(h)]
    for y in range(h):
        c = tau * y if positive else tau * (h - y)
        n = nearest(c)
        if antialias:
            e = trunc(safe((c - n) * 4096))
            f = trunc(4096 - e)
            prev = bg
            for x in range(w):
                if 0 <= n + x < w1:
                    p1[y][n + x] = blend(prev, t[y][x], e, f)
                prev = t[y][x]
            if e > 0 and 0 <= n + w < w1:
                p1[y][n + w] = blend(prev, bg, e, f)
        else:
            for x in range(w):
                if 0 <= n + x < w1:
                    p1[y][n + x] = t[y][x]

    # Pass 2: vertical shear into W1 x H2; always blends.
    p2 = [[bg] * w1 for _ in range(h2)]
    for x in range(w1):
        c = sigma * (w1 - x) if positive else sigma * x
        n = nearest(c)
        e = nearest(safe((c - n) * 4096))
        column = shift_line([p1[y][x] for y in range(h)], h2, n - s1, e, 4096 - e)
        for y in range(h2):
            p2[y][x] = column[y]

    # Pass 3: horizontal shear into W3 x H2; always blends.
    p3 = []
    for y in range(h2):
        c = tau * y if positive else tau * (h2 - y)
        n = nearest(c)
        e = nearest(safe((c - n) * 4096))
        p3.append(shift_line(p2[y], w3, n - s2, e, 4096 - e))
    return p3


for angle in (25.0, -31.0, 100.0, -17.5, 44.0):
    for antialias in (0, 1):
        out = rotate(source(), angle, antialias)
        pixels = [r * 65536 + g * 256 + b for row in out for (r, g, b) in row]
        print("%g %d %d %d %s" % (angle, antialias, len(out[0]), len(out), " ".join(str(p) for p in pixels)))
